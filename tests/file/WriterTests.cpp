#include <gtest/gtest.h>

#include "FailingOs.h"
#include "Recorders.h"
#include "RecordingWriter.h"
#include "TempDir.h"
#include "file/FileWriter.h"
#include "os/Directory.h"
#include "os/Path.h"
#include "rolling/DirectoryHelpers.h"

using namespace Quorlin;
using namespace QuorlinTest;
namespace fs = std::filesystem;
using ORBEK::Utility::File::CreateDir;
using ORBEK::Utility::File::GetDir;

namespace {

WString W(const std::wstring& s) { return WString(s.c_str()); }

}  // namespace

TEST(FileWriter, CreatesTheDirectoryChainThenTheFile)
{
    TempDir dir;
    FileWriter writer;
    ASSERT_TRUE(writer.Open(W(dir.Wide("a/b/c.log"))));
    writer.Write(0, "x", 1, "yz", 2);
    writer.NewLine();
    writer.Close();
    EXPECT_TRUE(fs::is_directory(dir.Path() / "a" / "b"));
    EXPECT_EQ(ReadFile(dir.Path() / "a" / "b" / "c.log"), "xyz\r\n");
    EXPECT_EQ(writer.GetNormalizedName(), W(dir.Wide("a/b/c.log")));
}

TEST(FileWriter, AppendsOrTruncates)
{
    TempDir dir;
    const auto path = dir.Path() / "app.log";
    WriteFile(path, "old\r\n");
    {
        FileWriter writer;  // appending by default
        ASSERT_TRUE(writer.Open(W(dir.Wide("app.log"))));
        writer.Write(0, "new", 3, nullptr, 0);
        writer.Close();
    }
    EXPECT_EQ(ReadFile(path), "old\r\nnew");
    {
        FileWriter writer;
        writer.SetAppend(false);
        ASSERT_TRUE(writer.Open(W(dir.Wide("app.log"))));
        writer.Write(0, "fresh", 5, nullptr, 0);
        writer.Close();
    }
    EXPECT_EQ(ReadFile(path), "fresh");
    {
        FileWriter writer;  // appending to a file that does not exist yet creates it
        ASSERT_TRUE(writer.Open(W(dir.Wide("new.log"))));
        writer.Close();
    }
    EXPECT_TRUE(fs::exists(dir.Path() / "new.log"));
}

TEST(FileWriter, AnExistingFileThatCannotBeOpenedForAppendingIsCreatedAnew)
{
    TempDir dir;
    WriteFile(dir.Path() / "app.log", "old");
    FailingOs failing;
    failing.failAppendOpen = true;
    FileWriter writer;
    ASSERT_TRUE(writer.Open(W(dir.Wide("app.log"))));
    EXPECT_EQ(failing.opens, "RAW");  // a look at its last byte, then the two attempts
    writer.Write(0, "new", 3, nullptr, 0);
    writer.Close();
    EXPECT_EQ(ReadFile(dir.Path() / "app.log"), "new");
}

TEST(FileWriter, ASecondWriterOfAnOpenFileIsRefusedButReadersAreNot)
{
    TempDir dir;
    FileWriter first, second;
    ASSERT_TRUE(first.Open(W(dir.Wide("app.log"))));
    first.Write(0, "held", 4, nullptr, 0);
    EXPECT_FALSE(second.Open(W(dir.Wide("app.log"))));
    EXPECT_EQ(ReadFile(dir.Path() / "app.log"), "held");  // others may read
    first.Close();
    EXPECT_TRUE(second.Open(W(dir.Wide("app.log"))));
}

TEST(FileWriter, CloseLogsOnceAndClosesAFileWhoseWriteFailed)
{
    TempDir dir;
    DiagnosticRecorder recorder;
    FileWriter writer;
    ASSERT_TRUE(writer.Open(W(dir.Wide("app.log"))));
    {
        FailingOs failing;
        failing.failWrites = true;
        writer.Write(0, "lost", 4, "also", 4);
    }
    EXPECT_TRUE(writer.IsBad());
    writer.Close();
    writer.Close();
    EXPECT_EQ(recorder.Mentions("Leave FileAppender.FileWriter.Close on ["), 1);
    // The handle is gone: the file can be renamed and opened for writing again.
    EXPECT_TRUE(os::RenameFile(dir.Wide("app.log"), dir.Wide("moved.log")).Ok());
}

TEST(FileWriter, NamesBeyondTheLimitsAreRefusedNotCut)
{
    TempDir dir;
    DiagnosticRecorder recorder;
    FileWriter writer;
    const std::wstring longName = dir.Wide(std::string(300, 'n') + ".log");
    EXPECT_FALSE(writer.Open(W(longName)));
    EXPECT_TRUE(fs::is_empty(dir.Path()));
    EXPECT_GE(recorder.Mentions("the name is too long"), 1);
    const std::wstring deep = dir.Wide("d") + std::wstring(5000, L'x');
    EXPECT_FALSE(writer.Open(W(deep)));
}

TEST(DirectoryHelpers, GetDir)
{
    const wchar_t s = os::PathSeparator();
    auto P = [s](std::wstring text) {
        for (wchar_t& c : text)
            if (c == L'\\')
                c = s;
        return W(text);
    };
    EXPECT_EQ(GetDir(P(L"a.log")), L"");
    EXPECT_EQ(GetDir(P(L"\\a.log")), L"");
    EXPECT_EQ(GetDir(P(L"C:\\x\\a.log")), P(L"C:\\x"));
    EXPECT_EQ(GetDir(P(L"C:\\x\\")), P(L"C:\\x"));
    if (s == L'\\') {
        EXPECT_EQ(GetDir(W(L"C:/x/a.log")), L"");  // forward slashes are not looked at
    }
}

TEST(DirectoryHelpers, CreateDirCreatesEachLevelAndSkipsThoseBelowTheRoot)
{
    TempDir dir;
    const std::wstring sep(1, os::PathSeparator());
    EXPECT_TRUE(CreateDir(W(dir.Wide("logs") + sep + L"app" + sep), W(dir.Wide("logs") + sep + sep)));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "logs" / "app"));
    // Levels below the root are not attempted: x is skipped, so x/y and x/y/z cannot be made.
    EXPECT_TRUE(CreateDir(W(dir.Wide("x") + sep + L"y" + sep + L"z"), W(dir.Wide("x") + sep + L"y")));
    EXPECT_FALSE(fs::exists(dir.Path() / "x"));
    // Existing levels are fine; an empty root skips nothing.
    EXPECT_TRUE(CreateDir(W(dir.Wide("logs") + sep + L"app" + sep + L"deeper"), WString()));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "logs" / "app" / "deeper"));
}

TEST(BufferedWriter, AWriteLargerThanTheCapacityFlushesThenBypasses)
{
    WriterCalls calls;
    BufferedWriter writer(std::make_unique<CallRecorder>(calls), 8192);
    writer.Write(3, "ab", 2, nullptr, 0);
    const std::string big(10000, 'b');
    writer.Write(5, big.data(), 10000, nullptr, 0);
    ASSERT_EQ(calls.writes.size(), 2u);
    EXPECT_EQ(calls.writes[0], (std::pair<int, std::string>(5, "ab")));
    EXPECT_EQ(calls.writes[1], (std::pair<int, std::string>(5, big)));
    EXPECT_EQ(writer.BufferedLength(), 0);
}

TEST(BufferedWriter, BatchesUntilTheNextWriteWouldOverflow)
{
    WriterCalls calls;
    BufferedWriter writer(std::make_unique<CallRecorder>(calls), 8192);
    const std::string a(3000, 'a'), b(3000, 'b'), c(3000, 'c');
    writer.Write(0, a.data(), 3000, nullptr, 0);
    writer.Write(0, b.data(), 3000, nullptr, 0);
    EXPECT_TRUE(calls.writes.empty());
    writer.Write(0, c.data(), 3000, nullptr, 0);
    ASSERT_EQ(calls.writes.size(), 1u);
    EXPECT_EQ(calls.writes[0].second, a + b);
    EXPECT_EQ(writer.BufferedLength(), 3000);
}

TEST(BufferedWriter, LineEndsAreBufferedAndCloseFlushesThenClosesOnce)
{
    WriterCalls calls;
    auto writer = std::make_unique<BufferedWriter>(std::make_unique<CallRecorder>(calls), 64);
    writer->Write(0, "one", 3, "+two", 4);
    writer->NewLine();
    writer->Flush();
    writer->Flush();  // nothing left: no empty write
    writer->Write(0, "three", 5, nullptr, 0);
    writer->Close();
    EXPECT_EQ(calls.writes, (std::vector<std::pair<int, std::string>>{{0, "one+two\r\n"}, {0, "three"}}));
    EXPECT_EQ(calls.newLines, 0);  // the line end went into the batch
    EXPECT_EQ(calls.closes, 1);
    writer->Write(0, "left", 4, nullptr, 0);
    writer.reset();  // destruction discards, never flushes
    EXPECT_EQ(calls.writes.size(), 2u);
}

TEST(RollingFileWriter, CountsOnlyTheLengthsThatReachedTheFile)
{
    struct Counter : WrittenBytesCounter {
        void AddWrittenBytes(std::uint64_t bytes) override { total += bytes; }
        std::uint64_t total = 0;
    } counter;
    RollingFileWriter writer(&counter);
    // Not open: the writes fail and count nothing, so that a file that cannot grow does not roll over.
    writer.Write(0, "abc", 3, "de", 2);
    writer.Write(0, nullptr, 0, "f", 1);
    EXPECT_EQ(counter.total, 0u);
    EXPECT_TRUE(writer.LastWriteFailed());
    TempDir dir;
    ASSERT_TRUE(writer.Open(WString(dir.Wide("w.log").c_str())));
    writer.Write(0, "abc", 3, "de", 2);
    writer.NewLine();  // line ends are counted only when they arrive through Write
    EXPECT_FALSE(writer.LastWriteFailed());
    EXPECT_EQ(counter.total, 5u);
    writer.Close();
}
