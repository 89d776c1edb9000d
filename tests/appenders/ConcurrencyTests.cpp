#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "appenders/NullAppender.h"

using namespace Quorlin;

TEST(NullAppenderConcurrency, EveryAcceptedEventIsCountedOnce)
{
    NullAppender appender;
    appender.SetLayout(std::make_shared<PatternLayout>());
    appender.Open();
    const std::string message = "concurrent";
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            LoggingEvent e;
            e.m_Message = message.data();
            e.m_MessageLength = static_cast<std::int32_t>(message.size());
            e.m_Level = 50000;
            for (int i = 0; i < 5000; ++i)
                appender.Append(&e);
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(appender.GetCount(), 20000);
    testing::internal::CaptureStdout();
    appender.Close();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "NullAppender.Close, m_nCount=20000\n");
}
