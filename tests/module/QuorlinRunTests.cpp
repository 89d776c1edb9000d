// quorlin-run end to end: the program loads the module beside it through the framework.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "Paths.h"
#include "RunChecks.h"
#include "Shell.h"
#include "TempDir.h"
#include "os/Module.h"

using namespace QuorlinTest;

namespace {

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs a program built beside the test in `dir`, with `input` on its standard input.
RunResult RunQuorlin(const TempDir& dir, const std::string& arguments, const std::string& input = "",
                     const std::string& program = "quorlin-run")
{
    WriteFile(dir.Path() / "stdin.txt", input);
    const std::string command = InDirectory(dir.Path().string()) + Quote(SiblingProgram(program)) + " " + arguments + " < " +
                                Quote((dir.Path() / "stdin.txt").string()) + " > " + Quote((dir.Path() / "out.txt").string()) +
                                " 2> " + Quote((dir.Path() / "err.txt").string());
    RunResult r;
    r.exitCode = RunShell(command);
    r.out = ReadFile(dir.Path() / "out.txt");
    r.err = ReadFile(dir.Path() / "err.txt");
    return r;
}

std::string WriteConfig(const TempDir& dir, const std::string& text, const std::string& name = "q.conf")
{
    const auto path = dir.Path() / name;
    WriteFile(path, text);
    return Quote(path.string());
}

// Whether `text` holds `part`, with the whole text on failure.
testing::AssertionResult Holds(const std::string& text, const std::string& part)
{
    if (text.find(part) != std::string::npos)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "no [" << part << "] in:\n" << text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// An asynchronous forwarder feeding a synchronous one (batches of 3) feeding a file, in `order`.
std::string ChainConfig(const TempDir& dir, const std::vector<std::string>& order)
{
    std::map<std::string, std::string> sections = {
        {"async", "[appender async]\ntype = Appender.AsyncBufferingForward\nappender-ref/ref = fwd\n"},
        {"fwd", "[appender fwd]\ntype = Appender.BufferingForward\nappender-ref/ref = file\nlimitOfLogPacket/value = 3\n"},
        {"file",
         "[appender file]\ntype = Appender.File\nlayout = %m\nfileName/value = " + (dir.Path() / "out.log").string() + "\n"},
    };
    std::string text;
    for (const std::string& name : order)
        text += sections[name];
    return WriteConfig(dir, text + "[root]\nappender-ref = async\n", "chain.conf");
}

}  // namespace

TEST(QuorlinRun, HelpVersionAndUsageErrors)
{
    TempDir dir;
    RunResult help = RunQuorlin(dir, "--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(Holds(help.out, "--generate N"));
    RunResult version = RunQuorlin(dir, "--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("quorlin-run ", 0), 0u);
    RunResult bad = RunQuorlin(dir, "--frobnicate");
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(Holds(bad.err, "unknown option '--frobnicate'"));
    EXPECT_EQ(RunQuorlin(dir, "--threads 0").exitCode, 2);
    EXPECT_EQ(RunQuorlin(dir, "--config").exitCode, 2);
}

TEST(QuorlinRun, ConfigurationErrorsNameFileAndLine)
{
    TempDir dir;
    const std::string config = WriteConfig(dir, "[appender a]\ntype = Appender.Console\nthreshold = LOUD\n");
    RunResult r = RunQuorlin(dir, "--config " + config);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(Holds(r.err, "q.conf:3: threshold 'LOUD'"));
    RunResult missing = RunQuorlin(dir, "--config " + Quote((dir.Path() / "absent.conf").string()));
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(Holds(missing.err, "absent.conf: cannot be read"));
}

TEST(QuorlinRun, AnAppenderThatCannotBeCreatedIsNamed)
{
    TempDir dir;
    const std::string config = WriteConfig(dir,
                                           "[appender ok]\ntype = Appender.Console\n[appender broken]\ntype = Appender.Nothing\n"
                                           "[root]\nappender-ref = ok\n");
    RunResult r = RunQuorlin(dir, "--config " + config);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(Holds(r.err, "q.conf:3: appender 'broken' could not be created: type 'Appender.Nothing' is unknown"));
}

TEST(QuorlinRun, FeedsStandardInputAndGeneratedEventsThroughTheModule)
{
    TempDir dir;
    const std::string config = WriteConfig(dir, "[appender console]\ntype = Appender.Console\n[root]\nappender-ref = console\n");
    RunResult input = RunQuorlin(dir, "--config " + config + " --debug", "first line\nERROR second {$} line\n");
    EXPECT_EQ(input.exitCode, 0) << input.err;
    // The diagnostics show the factory at work in the module.
    EXPECT_TRUE(Holds(input.err, "[50000] Enter Factory::CreateAppender, type : [Appender.Console]"));

    RunResult generated = RunQuorlin(dir, "--config " + config + " --generate 500 --threads 2 --message-size 50");
    EXPECT_EQ(generated.exitCode, 0) << generated.err;
    EXPECT_TRUE(Holds(generated.err, "quorlin-run: 500 events, 25000 bytes"));

    // The built-in configuration writes rolling files under ./logs.
    RunResult builtIn = RunQuorlin(dir, "--generate 3");
    EXPECT_EQ(builtIn.exitCode, 0) << builtIn.err;
    EXPECT_TRUE(Holds(builtIn.err, "quorlin-run: 3 events"));
    EXPECT_NE(ReadFile(dir.Path() / "logs" / "quorlin.log").find("[INFO ] "), std::string::npos);
}

// Standard input is read in blocks: a line longer than a block is still one event with every byte,
// either line end works, an empty line is an event, and a last line without its line end too.
TEST(QuorlinRun, EachLineOfStandardInputIsOneEventWhateverTheBlocks)
{
    TempDir dir;
    const std::string config = WriteConfig(dir, "[appender file]\ntype = Appender.File\nlayout = %p|%m\nappendToFile/value = false\n"
                                                "fileName/value = " + (dir.Path() / "in.log").string() + "\n[root]\nappender-ref = file\n");
    const std::string longLine(200'000, 'x');
    RunResult r = RunQuorlin(dir, "--config " + config, "a\r\nWARN: b\n\n" + longLine + "\nERROR last");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Lines(ReadFile(dir.Path() / "in.log")),
              (std::vector<std::string>{"INFO|a", "WARN|b", "INFO|", "INFO|" + longLine, "ERROR|last"}));

    // A read that fails is no end of input: it is said, and the exit code tells. (A directory as
    // standard input refuses reads on POSIX; the Windows shell refuses to redirect it.)
    if (!kWindows) {
        const int code = RunShell(InDirectory(dir.Path().string()) + Quote(SiblingProgram("quorlin-run")) + " --config " + config +
                                  " < . 2> " + Quote((dir.Path() / "err.txt").string()));
        EXPECT_EQ(code, 1);
        EXPECT_TRUE(Holds(ReadFile(dir.Path() / "err.txt"), "quorlin-run: cannot read standard input: Is a directory"));
    }
}

TEST(QuorlinRun, WarningsAndErrorsShowByDefaultQuietHidesThemDebugShowsAll)
{
    TempDir dir;
    // "maybe" is no boolean: the file appender reports it at level 80000 and keeps its default.
    const std::string file = "[appender f]\ntype = Appender.File\nfileName/value = f.log\nappendToFile/value = maybe\n"
                             "[root]\nappender-ref = f\n";
    const std::string config = WriteConfig(dir, file);
    const std::string problem = "[80000] [";
    const std::string progress = "[50000] Enter Factory::CreateAppender";
    struct Case {
        const char* arguments;
        bool problems;
        bool progress;
    };
    for (const Case& c : {Case{"", true, false}, Case{" --quiet", false, false}, Case{" --debug", true, true}}) {
        RunResult r = RunQuorlin(dir, "--config " + config + c.arguments, "one\n");
        EXPECT_EQ(r.exitCode, 0) << c.arguments << r.err;
        EXPECT_EQ(r.err.find(problem) != std::string::npos, c.problems) << c.arguments << r.err;
        EXPECT_EQ(r.err.find(progress) != std::string::npos, c.progress) << c.arguments << r.err;
    }
    // "debug = true" in the file is --debug; --quiet on the command line still wins over it.
    const std::string debugConfig = WriteConfig(dir, "debug = true\n" + file);
    EXPECT_NE(RunQuorlin(dir, "--config " + debugConfig, "one\n").err.find(progress), std::string::npos);
    EXPECT_EQ(RunQuorlin(dir, "--config " + debugConfig + " --quiet", "one\n").err.find("[50000]"), std::string::npos);
    RunResult both = RunQuorlin(dir, "--quiet --debug");
    EXPECT_EQ(both.exitCode, 2);
    EXPECT_TRUE(Holds(both.err, "--quiet and --debug exclude each other"));
}

TEST(QuorlinRun, AppendersThatLostEventsAreNamedAndTheExitCodeIs4)
{
    TempDir dir;
    const auto beside = std::filesystem::path(Quorlin::os::ExecutablePath()).parent_path();
    const std::string module = Quote(
        (beside / (std::string("quorlin_lossy_module") + Quorlin::os::SharedLibrarySuffix())).string());
    const std::string config = WriteConfig(dir,
                                           "[appender lossyA]\ntype = T\n[appender kept]\ntype = T\n[appender lossyB]\ntype = T\n"
                                           "threshold = ERROR\n[root]\nappender-ref = lossyA\nappender-ref = kept\n"
                                           "appender-ref = lossyB\n");
    for (const char* quiet : {"", " --quiet"}) {
        RunResult r = RunQuorlin(dir, "--module " + module + " --config " + config + quiet, "one\nERROR two\nthree\n");
        EXPECT_EQ(r.exitCode, 4) << r.err;
        EXPECT_TRUE(Holds(r.err, "quorlin-run: appender 'lossyA' lost 3 events"));
        EXPECT_TRUE(Holds(r.err, "quorlin-run: appender 'lossyB' lost 1 event"));
        EXPECT_EQ(r.err.find("lost 1 events"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("'kept'"), std::string::npos) << r.err;
    }
    // No event, nothing lost: nothing said and the exit code stays 0.
    RunResult none = RunQuorlin(dir, "--module " + module + " --config " + config, "");
    EXPECT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(none.err.find("lost"), std::string::npos) << none.err;
    // A module that does not load is a usage error that names it and the system's reason.
    RunResult missing = RunQuorlin(dir, "--module quorlin-no-such-module.bin --config " + config, "");
    EXPECT_EQ(missing.exitCode, 2) << missing.err;
    EXPECT_TRUE(Holds(missing.err, "cannot load module 'quorlin-no-such-module.bin': "));
    EXPECT_GT(missing.err.size(), std::string("quorlin-run: cannot load module 'quorlin-no-such-module.bin': \n").size())
        << missing.err;
}

TEST(QuorlinRunForwarders, GeneratedEventsArriveOncePerThreadInOrder)
{
    TempDir dir;
    const RunResult r = RunQuorlin(dir,
                                   "--config " + ChainConfig(dir, {"file", "async", "fwd"}) + " --generate 3000 --threads 3");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(CheckGenerated(dir.Path() / "out.log", 3), 3000);
}

TEST(QuorlinRunForwarders, ACycleOfForwardersIsRefusedAndNamed)
{
    TempDir dir;
    const std::string config = WriteConfig(dir, "[appender a]\ntype = Appender.BufferingForward\nappender-ref/ref = b\n"
                                                "[appender b]\ntype = Appender.AsyncBufferingForward\nappender-ref/ref = a\n"
                                                "[root]\nappender-ref = a\n");
    const RunResult r = RunQuorlin(dir, "--debug --config " + config, "x\n");
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(Holds(r.err, "appender 'a' (Appender.BufferingForward) could not be opened"));
    EXPECT_TRUE(Holds(r.err, "BufferingForward.Open, forwarding cycle refused : [a -> b -> a]"));
}

TEST(EmbeddingExample, LinksAgainstTheModuleAndForwardsThroughIt)
{
    TempDir dir;
    const std::string log = (dir.Path() / "embedded.log").string();
    const RunResult r = RunQuorlin(dir, Quote(log), "", "embedding-example");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Lines(ReadFile(log)),
              (std::vector<std::string>{"INFO  event 1", "INFO  event 2", "WARN  event 3", "INFO  event 4", "INFO  event 5",
                                        "WARN  event 6", "INFO  event 7", "INFO  event 8", "WARN  event 9", "INFO  event 10"}));
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"embedding-example: forwarding to 'file' and 'counter'",
                                                      "NullAppender.Close, m_nCount=8", "embedding-example: wrote " + log}));
}
