// Every example configuration runs through quorlin-run as shipped.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Collector.h"
#include "FrameReader.h"
#include "Shell.h"
#include "TempDir.h"

using namespace QuorlinTest;
namespace fs = std::filesystem;

namespace {

fs::path ExamplesFolder() { return fs::path(SiblingProgram("quorlin-run")).parent_path() / "examples" / "config"; }

int RunExample(const TempDir& dir, const std::string& name, const std::string& extra = "")
{
    WriteFile(dir.Path() / "in.txt", "first event\nWARN second event\nERROR third event\n");
    return RunShell(InDirectory(dir.Path().string()) + Quote(SiblingProgram("quorlin-run")) + " --config " +
                    Quote((ExamplesFolder() / name).string()) + extra + " < in.txt > out.txt 2> err.txt");
}

}  // namespace

TEST(Examples, EveryConfigurationStartsAndTakesEvents)
{
    int count = 0;
    for (const auto& entry : fs::directory_iterator(ExamplesFolder())) {
        // The collector examples have tests of their own, with a collector to send to.
        if (entry.path().extension() != ".conf" || entry.path().filename().string().rfind("central-", 0) == 0)
            continue;
        ++count;
        TempDir dir;
        EXPECT_EQ(RunExample(dir, entry.path().filename().string()), 0)
            << entry.path().filename() << ": " << ReadFile(dir.Path() / "err.txt");
    }
    EXPECT_GE(count, 6);
}

TEST(Examples, FileAndNullExamplesProduceTheirOutput)
{
    TempDir files;
    ASSERT_EQ(RunExample(files, "file.conf"), 0) << ReadFile(files.Path() / "err.txt");
    int logs = 0;
    for (const auto& entry : fs::directory_iterator(files.Path() / "logs")) {
        const std::string text = ReadFile(entry.path());
        EXPECT_EQ(text.rfind("-- started --\r\n", 0), 0u) << text;
        EXPECT_NE(text.find("[WARN ] "), std::string::npos);
        ++logs;
    }
    EXPECT_EQ(logs, 1);

    TempDir discard;
    ASSERT_EQ(RunExample(discard, "null.conf"), 0);
    EXPECT_EQ(ReadFile(discard.Path() / "out.txt").find("NullAppender.Close, m_nCount=3"), 0u);
}

TEST(Examples, TheTcpCollectorExampleDeliversEveryLine)
{
    FrameReader collector;
    ASSERT_TRUE(collector.Listening());
    TempDir dir;
    std::string config = ReadFile(ExamplesFolder() / "central-tcp.conf");
    const std::string port = "port/value = 10514";
    ASSERT_NE(config.find(port), std::string::npos);
    config.replace(config.find(port), port.size(), "port/value = " + std::to_string(collector.Port()));
    WriteFile(dir.Path() / "central-tcp.conf", config);
    WriteFile(dir.Path() / "in.txt", "first event\nWARN second event\nERROR third event\n");
    ASSERT_EQ(RunShell(InDirectory(dir.Path().string()) + Quote(SiblingProgram("quorlin-run")) +
                       " --config central-tcp.conf < in.txt > out.txt 2> err.txt"),
              0)
        << ReadFile(dir.Path() / "err.txt");
    const std::vector<std::string> records = collector.Records(3, 10000);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_NE(records[0].find(" quorlin-run "), std::string::npos) << records[0];
    EXPECT_EQ(records[1].rfind("<132>1 ", 0), 0u) << records[1];  // local0.warning
    EXPECT_NE(records[2].find("[ERROR] ["), std::string::npos) << records[2];
    EXPECT_EQ(records[2].substr(records[2].size() - 11), "third event");
}

TEST(Examples, TheRelpCollectorExampleDeliversEveryLineAndSpoolsWhileTheCollectorIsAway)
{
    TempDir dir;
    Collector collector((dir.Path() / "collector").string());
    ASSERT_TRUE(collector.Running()) << collector.Error();
    std::string config = ReadFile(ExamplesFolder() / "central-relp.conf");
    const std::string port = "port/value = 10515";
    ASSERT_NE(config.find(port), std::string::npos);
    config.replace(config.find(port), port.size(), "port/value = " + std::to_string(collector.RelpPort()));
    config.replace(config.find("closeTimeout/value = 5000"), 25, "closeTimeout/value = 500");
    WriteFile(dir.Path() / "central-relp.conf", config);
    const std::string run = InDirectory(dir.Path().string()) + Quote(SiblingProgram("quorlin-run")) +
                            " --config central-relp.conf < in.txt > out.txt 2> err.txt";
    collector.Kill();
    WriteFile(dir.Path() / "in.txt", "first event\nWARN second event\n");
    ASSERT_EQ(RunShell(run), 0) << ReadFile(dir.Path() / "err.txt");  // kept on disk, not lost
    ASSERT_TRUE(collector.Restart()) << collector.Error();
    WriteFile(dir.Path() / "in.txt", "ERROR third event\n");
    ASSERT_EQ(RunShell(run), 0) << ReadFile(dir.Path() / "err.txt");
    const std::vector<SyslogRecord> records = collector.Received("relp", 3, 10000);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].appName, "quorlin-run");
    EXPECT_EQ(records[1].pri, 16 * 8 + 4);  // local0.warning
    EXPECT_EQ(records[2].message.substr(records[2].message.size() - 11), "third event");
}
