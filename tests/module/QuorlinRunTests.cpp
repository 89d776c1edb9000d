// quorlin-run end to end: the program loads the module beside it through the framework.
#include <gtest/gtest.h>

#include <string>

#include "Shell.h"
#include "TempDir.h"

using namespace QuorlinTest;

namespace {

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;
};

RunResult RunQuorlin(const TempDir& dir, const std::string& arguments, const std::string& input = "")
{
    WriteFile(dir.Path() / "stdin.txt", input);
    const std::string command = InDirectory(dir.Path().string()) + Quote(SiblingProgram("quorlin-run")) + " " + arguments + " < " +
                                Quote((dir.Path() / "stdin.txt").string()) + " > " + Quote((dir.Path() / "out.txt").string()) +
                                " 2> " + Quote((dir.Path() / "err.txt").string());
    RunResult r;
    r.exitCode = RunShell(command);
    r.out = ReadFile(dir.Path() / "out.txt");
    r.err = ReadFile(dir.Path() / "err.txt");
    return r;
}

std::string WriteConfig(const TempDir& dir, const std::string& text)
{
    const auto path = dir.Path() / "q.conf";
    WriteFile(path, text);
    return Quote(path.string());
}

} // namespace

TEST(QuorlinRun, HelpVersionAndUsageErrors)
{
    TempDir dir;
    RunResult help = RunQuorlin(dir, "--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--generate N"), std::string::npos);
    RunResult version = RunQuorlin(dir, "--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("quorlin-run ", 0), 0u);
    RunResult bad = RunQuorlin(dir, "--frobnicate");
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("unknown option '--frobnicate'"), std::string::npos);
    EXPECT_EQ(RunQuorlin(dir, "--threads 0").exitCode, 2);
    EXPECT_EQ(RunQuorlin(dir, "--config").exitCode, 2);
}

TEST(QuorlinRun, ConfigurationErrorsNameFileAndLine)
{
    TempDir dir;
    const std::string config = WriteConfig(dir, "[appender a]\ntype = Appender.Console\nthreshold = LOUD\n");
    RunResult r = RunQuorlin(dir, "--config " + config);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("q.conf:3: threshold 'LOUD'"), std::string::npos) << r.err;
    RunResult missing = RunQuorlin(dir, "--config " + Quote((dir.Path() / "absent.conf").string()));
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("absent.conf: cannot be read"), std::string::npos) << missing.err;
}

TEST(QuorlinRun, AnAppenderThatCannotBeCreatedIsNamed)
{
    TempDir dir;
    const std::string config =
        WriteConfig(dir, "[appender ok]\ntype = Appender.Console\n[appender broken]\ntype = Appender.Nothing\n"
                         "[root]\nappender-ref = ok\n");
    RunResult r = RunQuorlin(dir, "--config " + config);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("q.conf:3: appender 'broken' could not be created: type 'Appender.Nothing' is unknown"),
              std::string::npos)
        << r.err;
}

TEST(QuorlinRun, FeedsStandardInputAndGeneratedEventsThroughTheModule)
{
    TempDir dir;
    const std::string config =
        WriteConfig(dir, "[appender console]\ntype = Appender.Console\n[root]\nappender-ref = console\n");
    RunResult input = RunQuorlin(dir, "--config " + config + " --debug", "first line\nERROR second {$} line\n");
    EXPECT_EQ(input.exitCode, 0) << input.err;
    // The diagnostics show the factory at work in the module.
    EXPECT_NE(input.err.find("[50000] Enter Factory::CreateAppender, type : [Appender.Console]"), std::string::npos)
        << input.err;

    RunResult generated = RunQuorlin(dir, "--config " + config + " --generate 500 --threads 2 --message-size 50");
    EXPECT_EQ(generated.exitCode, 0) << generated.err;
    EXPECT_NE(generated.err.find("quorlin-run: 500 events, 25000 bytes"), std::string::npos) << generated.err;

    // The built-in configuration writes rolling files under ./logs.
    RunResult builtIn = RunQuorlin(dir, "--generate 3");
    EXPECT_EQ(builtIn.exitCode, 0) << builtIn.err;
    EXPECT_NE(builtIn.err.find("quorlin-run: 3 events"), std::string::npos) << builtIn.err;
    EXPECT_NE(ReadFile(dir.Path() / "logs" / "quorlin.log").find("[INFO ] "), std::string::npos);
}
