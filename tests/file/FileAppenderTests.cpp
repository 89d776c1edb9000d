#include <gtest/gtest.h>

#include "Events.h"

#include <string>

#include "Recorders.h"
#include "Shell.h"
#include "TempDir.h"
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

} // namespace

TEST(FileAppender, WritesEventsWithLineEndsHeaderAndFooter)
{
    TempDir dir;
    auto appender = MakeAppender(dir, "logs/app.log");
    appender->SetOption("header/value", "[head]");
    appender->SetOption("footer/value", "[foot]");
    appender->SetOption("threshold/value", "INFO");
    appender->ActivateOptions();
    ASSERT_TRUE(appender->Open());
    Log(*appender, "first {$}");
    Log(*appender, "too low", 40000);
    Log(*appender, "second");
    appender->Close();
    EXPECT_EQ(ReadFile(dir.Path() / "logs" / "app.log"), "[head]first {$}\r\nsecond\r\n[foot]");
    EXPECT_EQ(appender->GetType(), "Appender.File");
}

TEST(FileAppender, OptionsMatchByPrefixAndBadBooleansKeepTheDefault)
{
    TempDir dir;
    WriteFile(dir.Path() / "app.log", "old|");
    auto appender = MakeAppender(dir, "app.log");
    appender->SetOption("fileName/valueX", DString((dir.Path() / "app.log").string().c_str()));  // begins with the key
    appender->SetOption("xfileName/value", "elsewhere.log");  // does not: goes to the framework
    appender->SetOption("appendToFile/value", "ture");         // not a boolean: appending stays on
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

TEST(FileAppender, EndToEndThroughQuorlinRun)
{
    TempDir dir;
    const std::string log = (dir.Path() / "out" / "app.log").string();
    auto run = [&](const std::string& options, const std::string& input) {
        WriteFile(dir.Path() / "q.conf", "[appender file]\ntype = Appender.File\nlayout = %p %m\nfileName/value = " + log +
                                             "\n" + options + "[root]\nappender-ref = file\n");
        WriteFile(dir.Path() / "in.txt", input);
        return RunShell(Quote(SiblingProgram("quorlin-run")) + " --config " + Quote((dir.Path() / "q.conf").string()) +
                        " < " + Quote((dir.Path() / "in.txt").string()) + " 2> " + Quote((dir.Path() / "err.txt").string()));
    };
    ASSERT_EQ(run("", "one\nWARN: two\n"), 0) << ReadFile(dir.Path() / "err.txt");
    EXPECT_EQ(ReadFile(log), "INFO one\r\nWARN two\r\n");
    ASSERT_EQ(run("appendToFile/value = true\n", "three\n"), 0);
    EXPECT_EQ(ReadFile(log), "INFO one\r\nWARN two\r\nINFO three\r\n");
    ASSERT_EQ(run("appendToFile/value = false\nenableNewLine/value = false\n", "four\nfive\n"), 0);
    EXPECT_EQ(ReadFile(log), "INFO fourINFO five");
}
