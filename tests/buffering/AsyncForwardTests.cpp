#include <gtest/gtest.h>

#include "diagnostics/LostEvents.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <string>

#include "RecordingAppender.h"
#include "ChildProcess.h"
#include "Recorders.h"
#include "Shell.h"
#include "buffering/AsyncBufferingForwardAppender.h"
#include "os/Process.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

using Strings = std::vector<std::string>;

const std::string kPool = "SingletonSchedule[Quorlin.AsyncBuf].";

// Gives tests a way to fill the buffer without appending event by event.
class FillableAsync : public AsyncBufferingForwardAppender {
public:
    void Fill(std::size_t packets)
    {
        LogPacketQueue::Counts counts;
        for (std::size_t i = 0; i < packets; ++i)
            m_Queue.Push(std::make_unique<LogPacket>(), counts);
    }
    void Empty() { m_Queue.Clear(); }
};

std::shared_ptr<AsyncBufferingForwardAppender> Async(ConfiguredAppenders& config, const char* name, std::vector<const char*> refs)
{
    return config.Forwarder<AsyncBufferingForwardAppender>(name, refs);
}

std::string Prefixed(const Appender& a, const std::string& text)
{
    return "[" + std::to_string(a.GetInstanceNumber()) + "] " + text;
}

// How long an Append pauses with `waiting` packets in the buffer afterwards, for a packet limit, in
// milliseconds slept; after `drainAfter` slices (0: never) the buffer is emptied, as the worker would.
std::uint32_t PauseWith(std::size_t waiting, const char* limit = nullptr, std::size_t drainAfter = 0)
{
    SleepRecorder sleeps;
    auto async = std::make_unique<FillableAsync>();
    if (limit != nullptr)
        async->SetOption("limitOfLogPacket/value", limit);
    async->Open();
    async->Fill(waiting - 1);
    std::size_t slices = 0;
    sleeps.OnSleep([&] {
        if (++slices == drainAfter)
            async->Empty();
    });
    Log(*async, "one more");
    std::uint32_t slept = 0;
    for (const std::uint32_t ms : sleeps.Sleeps())
        slept += ms;
    CloseQuietly(*async);
    return slept;
}

}  // namespace

TEST(AsyncBufferingForwardAppender, EachStrategyTakesItsStep)
{
    struct Case {
        const char* strategy;  // null: option never given
        int wakeups, reschedules, sleepShorts;
    };
    for (const Case& c : {Case{"1", 3, 0, 0}, Case{"2", 0, 3, 0}, Case{"3", 0, 0, 3}, Case{nullptr, 0, 0, 3}, Case{"0", 0, 0, 0},
                          Case{"4", 0, 0, 0}}) {
        SCOPED_TRACE(c.strategy == nullptr ? "none" : c.strategy);
        ConfiguredAppenders config;
        config.Recorder("a");
        auto async = Async(config, "async", {"a"});
        if (c.strategy != nullptr)
            async->SetOption("AsyncBufferingForward/Strategy/value", c.strategy);
        async->Open();
        PoolLogRecorder pool;
        DiagnosticRecorder recorder;
        for (int i = 0; i < 3; ++i)
            Log(*async, "event");
        EXPECT_EQ(pool.Count(kPool + "Wakeup"), c.wakeups);
        EXPECT_EQ(pool.Count(kPool + "Reschedule 75000"), c.reschedules);
        EXPECT_EQ(pool.Count(kPool + "Post 8649"), 0);  // posting the posted task again adds none
        int sleepShorts = 0;
        for (const std::string& text : recorder.Texts())
            sleepShorts += text == "Leave AsyncBufferingForwardAppender::SleepShort" ? 1 : 0;
        EXPECT_EQ(sleepShorts, c.sleepShorts);
        CloseQuietly(*async);
    }
}

TEST(AsyncBufferingForwardAppender, AnAppenderThatThrowsLosesNothingForTheOthersAndIsReported)
{
    ConfiguredAppenders config;
    auto failing = config.Recorder("failing");
    auto fine = config.Recorder("fine");
    int calls = 0;  // one worker, or the closing thread: never two at once
    failing->onAppend = [&](const LoggingEvent&) {
        if (++calls % 3 != 0)
            throw std::runtime_error("disk on fire");
    };
    auto async = Async(config, "async", {"failing", "fine"});
    async->SetOption("AsyncBufferingForward/Strategy/value", "1");  // the worker runs mid-stream too
    async->Open();
    DiagnosticRecorder recorder;
    Strings sent;
    for (int i = 0; i < 40; ++i) {
        sent.push_back(std::to_string(i));
        Log(*async, sent.back());
    }
    CloseQuietly(*async);
    // Every event reached the appender after the failing one, in order, and the failing one saw
    // every event too.
    EXPECT_EQ(fine->Messages(), sent);
    EXPECT_EQ(failing->Messages(), sent);
    EXPECT_EQ(async->GetNbOfFailedDeliveries(), 27);
    EXPECT_EQ(LostEvents::Of("async"), 27u);  // in the module's ledger too, for the host's summary
    LostEvents::Clear();
    const Strings texts = recorder.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(),
                         Prefixed(*async, "AsyncBufferingForward, Ref-Appender failing failed to append: disk on fire")),
              1);
    EXPECT_TRUE(recorder.Contains(Prefixed(*async, "AsyncBufferingForward.Close, NbOfFailedDeliveries : 27")));
    EXPECT_EQ(fine->Calls(), (Strings{"Open", "Close"}));
}

TEST(AsyncBufferingForwardAppender, SendRemainIsPrintedWithDiagnosticsOffAndAgainByTheDestructor)
{
    ASSERT_FALSE(LogLog::IsOn());
    auto async = std::make_unique<AsyncBufferingForwardAppender>();  // no referenced appender found
    const std::string line = Prefixed(*async, "Leave AsyncBufferingForward.SendRemain, NbOfPkt : ");
    async->SetOption("appender-ref/ref", "nobody");
    async->Open();
    for (int i = 0; i < 3; ++i)
        Log(*async, "undeliverable");
    EXPECT_EQ(async->GetNbOfPackets(), 3u);
    EXPECT_EQ(CloseQuietly(*async), line + "3\n");
    testing::internal::CaptureStdout();
    async.reset();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), line + "0\n");
}

TEST(AsyncBufferingForwardAppender, PausesProducersByTiersOfWaitingPacketsUntilTheBacklogFalls)
{
    const struct {
        std::size_t waiting;
        const char* limit;
        std::size_t drainAfter;
        std::uint32_t pause;
    } cases[] = {
        {4'096, nullptr, 0, 0},
        {4'097, nullptr, 0, 50},
        {20'000, nullptr, 0, 100},
        {70'000, nullptr, 0, 200},
        {1'100'000, nullptr, 0, 500},
        {5'000, "-1", 0, 0},
        // Thresholds in 64 bits: 32,768 x 65,536 and 100,663,296 x 256 overflow 32.
        {10, "32768", 0, 0},
        {10, "100663296", 0, 0},
        // The worker took the backlog: the pause ends with the slice in which it did.
        {20'000, nullptr, 3, 3},
        {1'100'000, nullptr, 1, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PauseWith(c.waiting, c.limit, c.drainAfter), c.pause)
            << c.waiting << " waiting, limit " << (c.limit ? c.limit : "default") << ", drained after " << c.drainAfter;
}

TEST(AsyncBufferingForwardAppender, OtherOptionsReachTheReferencedAppendersFirst)
{
    ConfiguredAppenders config;
    auto a = config.Recorder("a");
    auto async = Async(config, "async", {"a"});
    async->SetOption("fileName/value", "before.log");  // no referenced appender yet
    async->SetOption("ASYNCBUFFERINGFORWARD/STRATEGY/VALUE", "0");
    async->Open();
    async->SetOption("limitOfLogPacket/value", "4");
    async->ActivateOptions();
    EXPECT_EQ(a->Calls(), (Strings{"Open", "SetOption|limitOfLogPacket/value|4", "ActivateOptions"}));
    EXPECT_EQ(async->GetLimitOfPkt(), 4);
    DiagnosticRecorder recorder;
    Log(*async, "x");
    EXPECT_FALSE(recorder.Contains("Leave AsyncBufferingForwardAppender::SleepShort"));  // strategy 0
    CloseQuietly(*async);
}
