// Forwarders through quorlin-run, and a program that links against the module.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "Shell.h"
#include "TempDir.h"

using namespace QuorlinTest;

namespace {

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;
};

RunResult RunProgram(const TempDir& dir, const std::string& program, const std::string& arguments, const std::string& input = "")
{
    WriteFile(dir.Path() / "stdin.txt", input);
    const std::string command = Quote(SiblingProgram(program)) + " " + arguments + " < " +
                                Quote((dir.Path() / "stdin.txt").string()) + " > " + Quote((dir.Path() / "out.txt").string()) +
                                " 2> " + Quote((dir.Path() / "err.txt").string());
    RunResult r;
    r.exitCode = RunShell(command);
    r.out = ReadFile(dir.Path() / "out.txt");
    r.err = ReadFile(dir.Path() / "err.txt");
    return r;
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
        {"file", "[appender file]\ntype = Appender.File\nlayout = %m\nfileName/value = " + (dir.Path() / "out.log").string() + "\n"},
    };
    std::string text;
    for (const std::string& name : order)
        text += sections[name];
    text += "[root]\nappender-ref = async\n";
    WriteFile(dir.Path() / "chain.conf", text);
    return Quote((dir.Path() / "chain.conf").string());
}

} // namespace

TEST(QuorlinRunForwarders, EveryEventReachesTheFileWhateverTheOrderOfTheSections)
{
    std::string input;
    std::vector<std::string> expected;
    for (int i = 1; i <= 10; ++i) {
        expected.push_back("line " + std::to_string(i));
        input += expected.back() + "\n";
    }
    for (const auto& order : std::vector<std::vector<std::string>>{{"async", "fwd", "file"}, {"file", "fwd", "async"},
                                                                   {"fwd", "file", "async"}}) {
        SCOPED_TRACE(order[0] + "," + order[1] + "," + order[2]);
        TempDir dir;
        const RunResult r = RunProgram(dir, "quorlin-run", "--config " + ChainConfig(dir, order), input);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(Lines(ReadFile(dir.Path() / "out.log")), expected);
        EXPECT_NE(r.out.find("Leave AsyncBufferingForward.SendRemain, NbOfPkt : "), std::string::npos) << r.out;
    }
}

TEST(QuorlinRunForwarders, GeneratedEventsArriveOncePerThreadInOrder)
{
    TempDir dir;
    const RunResult r =
        RunProgram(dir, "quorlin-run", "--config " + ChainConfig(dir, {"file", "async", "fwd"}) + " --generate 3000 --threads 3");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::map<int, int> next;  // thread -> the sequence number expected next
    const auto lines = Lines(ReadFile(dir.Path() / "out.log"));
    ASSERT_EQ(lines.size(), 3000u);
    for (const std::string& line : lines) {
        std::istringstream in(line);
        int thread = -1, sequence = -1;
        in >> thread >> sequence;
        ASSERT_EQ(sequence, next[thread]) << line;
        ++next[thread];
    }
    EXPECT_EQ(next.size(), 3u);
}

TEST(QuorlinRunForwarders, ACycleOfForwardersIsRefusedAndNamed)
{
    TempDir dir;
    WriteFile(dir.Path() / "cycle.conf", "[appender a]\ntype = Appender.BufferingForward\nappender-ref/ref = b\n"
                                         "[appender b]\ntype = Appender.AsyncBufferingForward\nappender-ref/ref = a\n"
                                         "[root]\nappender-ref = a\n");
    const RunResult r = RunProgram(dir, "quorlin-run", "--debug --config " + Quote((dir.Path() / "cycle.conf").string()), "x\n");
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("appender 'a' (Appender.BufferingForward) could not be opened"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("BufferingForward.Open, forwarding cycle refused : [a -> b -> a]"), std::string::npos) << r.err;
}

TEST(EmbeddingExample, LinksAgainstTheModuleAndForwardsThroughIt)
{
    TempDir dir;
    const std::string log = (dir.Path() / "embedded.log").string();
    const RunResult r = RunProgram(dir, "embedding-example", Quote(log));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Lines(ReadFile(log)), (std::vector<std::string>{"INFO  event 1", "INFO  event 2", "WARN  event 3", "INFO  event 4",
                                                               "INFO  event 5", "WARN  event 6", "INFO  event 7", "INFO  event 8",
                                                               "WARN  event 9", "INFO  event 10"}));
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{"embedding-example: forwarding to 'file' and 'counter'",
                                                      "NullAppender.Close, m_nCount=8", "embedding-example: wrote " + log}));
}
