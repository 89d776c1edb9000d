#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "FailingOs.h"
#include "Recorders.h"
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

} // namespace

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
    int closes = 0;
    for (const std::string& text : recorder.Texts())
        closes += text.rfind("Leave FileAppender.FileWriter.Close on [", 0) == 0;
    EXPECT_EQ(closes, 1);
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
    bool reported = false;
    for (const std::string& text : recorder.Texts())
        reported |= text.find("the name is too long") != std::string::npos;
    EXPECT_TRUE(reported);
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
