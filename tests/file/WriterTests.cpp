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
