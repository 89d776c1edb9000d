#include <gtest/gtest.h>

#include "Events.h"
#include "FailingOs.h"
#include "Recorders.h"
#include "Shell.h"
#include "TempDir.h"
#include "diagnostics/LostEvents.h"
#include "file/FileAppender.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

std::unique_ptr<FileAppender> MakeAppender(const TempDir& dir, const std::string& name)
{
    auto appender = std::make_unique<FileAppender>();
    appender->SetLayout(std::make_shared<PatternLayout>("%m"));
    appender->SetOption("fileName/value", DString((dir.Path() / name).string().c_str()));
    return appender;
}

}  // namespace

TEST(FileAppender, OptionsMatchByPrefixAndBadBooleansKeepTheDefault)
{
    TempDir dir;
    WriteFile(dir.Path() / "app.log", "old|");
    auto appender = MakeAppender(dir, "app.log");
    appender->SetOption("fileName/valueX", DString((dir.Path() / "app.log").string().c_str()));  // begins with the key
    appender->SetOption("xfileName/value", "elsewhere.log");  // does not: goes to the framework
    appender->SetOption("appendToFile/value", "ture");        // not a boolean: appending stays on
    appender->SetOption("enableNewLine/value", "false");
    appender->ActivateOptions();
    ASSERT_TRUE(appender->Open());
    Log(*appender, "a");
    Log(*appender, "b");
    appender->Close();
    EXPECT_EQ(ReadFile(dir.Path() / "app.log"), "old|ab");

    auto truncating = MakeAppender(dir, "app.log");
    truncating->SetOption("appendToFile/value", "false");
    truncating->ActivateOptions();
    ASSERT_TRUE(truncating->Open());
    truncating->Close();
    EXPECT_EQ(ReadFile(dir.Path() / "app.log"), "");
}

TEST(FileAppender, OpenFailsWithoutAFileNameAndOnASecondOpen)
{
    TempDir dir;
    DiagnosticRecorder recorder;
    FileAppender unnamed;
    unnamed.ActivateOptions();
    EXPECT_FALSE(unnamed.Open());
    EXPECT_TRUE(recorder.Contains("Leave FileAppender::CreateWriter due to FileName is empty !"));

    auto appender = MakeAppender(dir, "app.log");
    appender->ActivateOptions();
    ASSERT_TRUE(appender->Open());
    // The new writer is made while the old one still holds the file: refused, and the old one is gone.
    EXPECT_FALSE(appender->Open());
    EXPECT_EQ(appender->GetWriter(), nullptr);
    Log(*appender, "dropped");
    appender->Close();
    EXPECT_EQ(ReadFile(dir.Path() / "app.log"), "");
}

TEST(FileAppender, EventsLostToAFullDiskAreCountedMarkedAndReported)
{
    TempDir dir;
    DiagnosticRecorder recorder;
    FailingOs disk;
    auto appender = MakeAppender(dir, "app.log");
    appender->SetName("plain");
    appender->ActivateOptions();
    ASSERT_TRUE(appender->Open());
    Log(*appender, "e1");
    disk.failWrites = true;
    for (const char* lost : {"e2", "e3", "e4"})
        Log(*appender, lost);
    disk.failWrites = false;
    Log(*appender, "e5");
    appender->Close();

    // No empty line where a lost event's line end would have been, and the gap is marked.
    EXPECT_EQ(ReadFile(dir.Path() / "app.log"),
              "e1\r\n-- (Quorlin) 3 events could not be written to [" + (dir.Path() / "app.log").string() + "]\r\ne5\r\n");
    EXPECT_EQ(appender->LostEventCount(), 3u);
    EXPECT_EQ(LostEvents::Of("plain"), 3u);
    EXPECT_EQ(recorder.Mentions("FileAppender, cannot write to ["), 1);
    EXPECT_EQ(recorder.Mentions("FileAppender, writing to ["), 1);
    EXPECT_EQ(recorder.Mentions("FileAppender, closed with 3 events lost in all"), 1);
    LostEvents::Clear();
}

TEST(FileAppender, ACutShortLastLineIsEndedBeforeTheNextEvent)
{
    TempDir dir;
    for (const char* newLines : {"true", "false"}) {
        WriteFile(dir.Path() / "app.log", "whole\r\nhalf");
        auto appender = MakeAppender(dir, "app.log");
        appender->SetOption("enableNewLine/value", newLines);
        appender->ActivateOptions();
        ASSERT_TRUE(appender->Open());
        Log(*appender, "next");
        appender->Close();
        // Without line ends of its own the appender leaves the file's text as it is.
        EXPECT_EQ(ReadFile(dir.Path() / "app.log"), newLines[0] == 't' ? "whole\r\nhalf\r\nnext\r\n" : "whole\r\nhalfnext")
            << newLines;
    }
}
