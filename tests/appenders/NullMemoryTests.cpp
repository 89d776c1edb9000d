#include <gtest/gtest.h>

#include "Events.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Recorders.h"
#include "appenders/MemoryAppender.h"
#include "appenders/NullAppender.h"
#include "factory/Factory.h"

using namespace Quorlin;
using QuorlinTest::Log;
using QuorlinTest::SleepRecorder;

TEST(NullAppender, CountsAcceptedEventsAndPrintsTheCountAtClose)
{
    NullAppender appender;
    appender.SetOption("threshold/value", "INFO");
    appender.SetLayout(std::make_shared<PatternLayout>());
    appender.Open();
    for (int i = 0; i < 3; ++i)
        Log(appender, "m", 50000);
    Log(appender, "m", 40000);  // below the threshold: not counted
    testing::internal::CaptureStdout();
    appender.Close();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "NullAppender.Close, m_nCount=3\n");
    Log(appender, "m", 50000);  // closed
    EXPECT_EQ(appender.GetCount(), 3);
    appender.Open();  // reopening resets the count
    EXPECT_EQ(appender.GetCount(), 0);
}

TEST(NullAppender, SleepsOnlyForAcceptedEventsWithAPositiveSleep)
{
    QuorlinTest::DiagnosticRecorder recorder;
    SleepRecorder sleeps;
    NullAppender appender;
    appender.SetOption("sleep/value", "7");
    EXPECT_TRUE(recorder.Contains("NullAppender.SetOption, m_msSleep : 7"));
    appender.SetOption("threshold/value", "WARN");
    appender.Open();
    Log(appender, "m", 70000);
    Log(appender, "m", 50000);
    EXPECT_EQ(sleeps.Sleeps(), (std::vector<std::uint32_t>{7}));
    for (const char* none : {"0", "-5"}) {
        appender.SetOption("sleep/value", none);
        Log(appender, "m", 70000);
    }
    EXPECT_EQ(sleeps.Sleeps().size(), 1u);
    EXPECT_EQ(appender.GetCount(), 3);
}

TEST(MemoryAppender, HandsAcceptedEventsToTheCallableFromEveryThread)
{
    QuorlinTest::DiagnosticRecorder recorder;
    MemoryAppender appender;
    appender.Open();
    Log(appender, "m", 50000);  // no callable: dropped silently
    std::atomic<int> seen{0};
    appender.SetCallback([&](MemoryAppender& self, const LoggingEvent& e) {
        EXPECT_EQ(&self, &appender);
        EXPECT_EQ(std::string(e.m_Message, static_cast<std::size_t>(e.m_MessageLength)), "m");
        seen.fetch_add(1);
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 250; ++i)
                Log(appender, "m", 50000);
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(seen.load(), 1000);
    appender.Close();
    Log(appender, "m", 50000);
    EXPECT_EQ(seen.load(), 1000);
    const std::string n = std::to_string(appender.GetInstanceNumber());
    EXPECT_TRUE(recorder.Contains("[" + n + "] Leave MemoryAppender.Open"));
    EXPECT_TRUE(recorder.Contains("[" + n + "] Leave MemoryAppender.Close"));
}

TEST(MemoryAppender, ExportedInstallerForProgramsThatLoadTheModule)
{
    std::unique_ptr<Appender> memory(Factory::CreateAppender(ORBEK::Utility::StringView("Appender.Memory")));
    std::unique_ptr<Appender> other(Factory::CreateAppender(ORBEK::Utility::StringView("Appender.Null")));
    int count = 0;
    auto callback = [](void* context, Appender*, const LoggingEvent*) { ++*static_cast<int*>(context); };
    EXPECT_FALSE(SetMemoryAppenderCallback(other.get(), callback, &count));
    ASSERT_TRUE(SetMemoryAppenderCallback(memory.get(), callback, &count));
    memory->Open();
    Log(*memory, "m", 50000);
    Log(*memory, "m", 50000);
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(SetMemoryAppenderCallback(memory.get(), nullptr, nullptr));
    Log(*memory, "m", 50000);
    EXPECT_EQ(count, 2);
}
