#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "RecordingAppender.h"
#include "Recorders.h"
#include "appenders/MemoryAppender.h"
#include "buffering/AsyncBufferingForwardAppender.h"
#include "buffering/BufferingForwardAppender.h"
#include "factory/Factory.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

std::shared_ptr<BufferingForwardAppender> Forwarder(ConfiguredAppenders& config, const char* name, std::vector<const char*> refs)
{
    return config.Forwarder<BufferingForwardAppender>(name, refs);
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(BufferingForwardAppender, IsNamesTheSynchronousTypeOnly)
{
    EXPECT_TRUE(BufferingForwardAppender::Is("Appender.BufferingForward"));
    EXPECT_TRUE(BufferingForwardAppender::Is("APPENDER.BUFFERINGFORWARD"));
    EXPECT_TRUE(BufferingForwardAppender::Is("my.Appender.BufferingForward.x"));
    EXPECT_FALSE(BufferingForwardAppender::Is("Appender.AsyncBufferingForward"));
    EXPECT_FALSE(BufferingForwardAppender::Is("Appender.Buffering"));
    EXPECT_FALSE(BufferingForwardAppender::Is(nullptr));
}

TEST(BufferingForwardAppender, AddsFindsAndRemovesAppendersAtRunTime)
{
    BufferingForwardAppender::SetCreator(&Factory::CreateAppender);  // as the module's start-up does
    BufferingForwardAppender forwarder;
    forwarder.SetLayout(std::make_shared<PatternLayout>("%m"));
    auto early = forwarder.AddAppender("Appender.Memory", "early");
    ASSERT_TRUE(early);
    forwarder.Open();  // rebuilds the list from the (absent) names: "early" is dropped
    EXPECT_FALSE(forwarder.FindAppender("early"));

    auto memory = forwarder.AddAppender("Appender.Memory", "memory");
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->GetName(), "memory");
    EXPECT_EQ(memory->GetType(), "Appender.Memory");
    EXPECT_EQ(memory->GetLayout(), forwarder.GetLayout());
    EXPECT_TRUE(memory->IsClosed());  // neither activated nor opened
    Strings seen;
    static_cast<MemoryAppender&>(*memory).SetCallback(
        [&](MemoryAppender&, const LoggingEvent& e) { seen.emplace_back(e.m_Message, e.m_MessageLength); });
    memory->Open();
    EXPECT_FALSE(forwarder.AddAppender("Appender.Nothing", "x"));
    EXPECT_FALSE(forwarder.AddAppender(nullptr, "x"));
    auto unnamed = forwarder.AddAppender("Appender.Null", nullptr);
    ASSERT_TRUE(unnamed);
    EXPECT_EQ(unnamed->GetName(), "");

    EXPECT_EQ(forwarder.FindAppender("memory"), memory);
    EXPECT_FALSE(forwarder.FindAppender("Memory"));
    EXPECT_EQ(forwarder.FindAppender(nullptr), unnamed);
    EXPECT_EQ(forwarder.FindAppender([](Appender* a) { return a->GetType() == "Appender.Null"; }), unnamed);
    EXPECT_FALSE(forwarder.FindAppender([](Appender*) { return false; }));
    EXPECT_THROW(forwarder.FindAppender(std::function<bool(Appender*)>()), std::bad_function_call);

    Log(forwarder, "while added");
    EXPECT_TRUE(forwarder.RemoveAppender("memory"));
    EXPECT_FALSE(forwarder.RemoveAppender("memory"));
    EXPECT_FALSE(forwarder.FindAppender("memory"));
    Log(forwarder, "after removal");
    EXPECT_EQ(seen, Strings{"while added"});
    EXPECT_FALSE(memory->IsClosed());  // removing does not close
    EXPECT_TRUE(forwarder.RemoveAppender(nullptr));
    BufferingForwardAppender empty;
    EXPECT_FALSE(empty.FindAppender(std::function<bool(Appender*)>()));
}

TEST(BufferingForwardAppender, TheByteCountIsResetWhenTheBufferIsTaken)
{
    ConfiguredAppenders config;
    auto a = config.Recorder("a");
    auto forwarder = Forwarder(config, "fwd", {"a"});
    forwarder->SetOption("limitOfLogPacket/value", "3");
    forwarder->SetOption("limitOfMB/value", "1");
    forwarder->Open();
    const std::string big(700'000, 'b');
    Log(*forwarder, big);
    Log(*forwarder, big);  // 1.4 MB waiting: sent at the byte limit
    EXPECT_EQ(a->Events().size(), 2u);
    EXPECT_EQ(forwarder->GetNbOfBytes(), 0);
    Log(*forwarder, "small");  // had the count kept growing, this would be sent at once
    EXPECT_EQ(a->Events().size(), 2u);
    EXPECT_EQ(forwarder->GetNbOfBytes(), 5);
}

TEST(BufferingForwardAppender, AnAppenderAppendingBackIntoItsForwarderIsServedAfterTheBatch)
{
    ConfiguredAppenders config;
    auto a = config.Recorder("a");
    auto forwarder = Forwarder(config, "fwd", {"a"});
    a->onAppend = [&](const LoggingEvent& e) {
        if (std::string(e.m_Message, e.m_MessageLength) == "first")
            Log(*forwarder, "echo");
    };
    forwarder->Open();
    Log(*forwarder, "first");
    EXPECT_EQ(a->Messages(), (Strings{"first", "echo"}));
}
