// Under ThreadSanitizer: producers racing each other and the roll-overs they trigger.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "RollingTestSupport.h"

using namespace Quorlin;
using namespace QuorlinTest;

TEST(RollingConcurrency, ProducersAndRollOversRaceWithoutLosingALine)
{
    TempDir dir;
    ClockWithoutGzip clock(LocalTicks(2026, 12, 6, 10, 0, 0));  // no gzip: the history stays readable
    RollingFileAppender appender;
    appender.SetLayout(std::make_shared<PatternLayout>("%m"));
    appender.SetOption("fileName/value", Text(dir.Path() / "app.log"));
    appender.SetOption("fileNamePattern/value", Text(dir.Path() / "app.{RollingIndex}.log"));
    appender.SetOption("triggeringPolicy/maxFileSize/value", "4096");
    appender.SetOption("rollingPolicy/maxIndex/value", "121");
    appender.ActivateOptions();
    ASSERT_TRUE(appender.Open());
    constexpr int kThreads = 4, kPerThread = 2000;
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t)
        producers.emplace_back([&appender, t] {
            for (int i = 0; i < kPerThread; ++i)
                Log(appender, std::to_string(t) + " " + std::to_string(i) + " xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
        });
    for (auto& p : producers)
        p.join();
    appender.Close();
    appender.WaitForCompressions();
    std::set<std::string> seen;
    int lines = 0;
    for (const auto& [name, content] : ReadHistory(dir.Path())) {
        std::size_t pos = 0, end;
        while ((end = content.find("\r\n", pos)) != std::string::npos) {
            const std::string line = content.substr(pos, end - pos);
            pos = end + 2;
            if (line.empty() || line[0] == '-')
                continue;
            ++lines;
            EXPECT_TRUE(seen.insert(line).second) << "twice: " << line;
        }
    }
    EXPECT_EQ(lines, kThreads * kPerThread);
    EXPECT_GT(clock.spawns, 5);
}
