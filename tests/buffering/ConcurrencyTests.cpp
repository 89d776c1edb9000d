// Producers, the worker and Close at once. Invariant: every accepted event reaches the referenced
// appender exactly once, and each producer's events arrive in the order it appended them.
#include <gtest/gtest.h>

#include "diagnostics/LostEvents.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "RecordingAppender.h"
#include "buffering/AsyncBufferingForwardAppender.h"
#include "buffering/BufferingForwardAppender.h"
#include "factory/Factory.h"
#include "host/LogLog.h"
#include "os/Process.h"
#include "utility/SingletonSchedule.h"

using namespace Quorlin;
using namespace QuorlinTest;

namespace {

constexpr int kProducers = 4;

// Per producer, the sequence numbers delivered, in delivery order. Messages are "producer:sequence".
std::map<int, std::vector<int>> ByProducer(const RecordingAppender& recorder)
{
    std::map<int, std::vector<int>> delivered;
    for (const Delivered& d : recorder.Events()) {
        const std::size_t colon = d.message.find(':');
        delivered[std::stoi(d.message.substr(0, colon))].push_back(std::stoi(d.message.substr(colon + 1)));
    }
    return delivered;
}

// Each producer's deliveries are 0, 1, 2 ... without gap, repeat or reordering.
void ExpectPrefixesInOrder(const std::map<int, std::vector<int>>& delivered)
{
    for (const auto& [producer, sequence] : delivered)
        for (std::size_t i = 0; i < sequence.size(); ++i)
            ASSERT_EQ(sequence[i], static_cast<int>(i)) << "producer " << producer;
}

// Passes diagnostics nowhere, but releases a gate when a given text goes by.
class GateOnDiagnostic : public LogSink {
public:
    explicit GateOnDiagnostic(std::string text) : m_Text(std::move(text)), m_Previous(LogLog::SetSink(this)) {}
    ~GateOnDiagnostic() override { LogLog::SetSink(m_Previous); }
    void Flush(std::int32_t, const char* text, std::int32_t length) override
    {
        if (std::string(text, static_cast<std::size_t>(length)).find(m_Text) != std::string::npos)
            Open();
    }
    void NewLine() override {}
    void Open()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Open = true;
        m_Changed.notify_all();
    }
    void Wait()
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        m_Changed.wait(lock, [this] { return m_Open; });
    }

private:
    std::string m_Text;
    LogSink* m_Previous;
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    bool m_Open = false;
};

}  // namespace

TEST(AsyncForwardConcurrency, ProducersTheWorkerAndCloseRace)
{
    for (const char* strategy : {"3", "1"}) {
        SCOPED_TRACE(strategy);
        ConfiguredAppenders config;
        auto recorder = config.Recorder("sink");
        auto async = config.Add(std::make_shared<AsyncBufferingForwardAppender>());
        async->SetName("async");
        async->SetOption("appender-ref/ref", "sink");
        async->SetOption("AsyncBufferingForward/Strategy/value", strategy);
        async->Open();

        std::atomic<int> progress[kProducers] = {};
        std::atomic<bool> closed{false};
        std::vector<std::thread> producers;
        for (int p = 0; p < kProducers; ++p)
            producers.emplace_back([&, p] {
                int afterClose = 0;
                for (int i = 0; afterClose < 50; ++i) {
                    Log(*async, std::to_string(p) + ":" + std::to_string(i));
                    progress[p].store(i + 1);
                    afterClose += closed.load() ? 1 : 0;
                }
            });
        ASSERT_TRUE(Eventually([&] { return recorder->Events().size() >= 500; }));
        int appendedBeforeClose[kProducers];
        for (int p = 0; p < kProducers; ++p)
            appendedBeforeClose[p] = progress[p].load();
        CloseQuietly(*async);
        closed.store(true);
        for (auto& t : producers)
            t.join();

        const auto delivered = ByProducer(*recorder);
        ExpectPrefixesInOrder(delivered);
        for (int p = 0; p < kProducers; ++p) {
            const auto it = delivered.find(p);
            const int count = it == delivered.end() ? 0 : static_cast<int>(it->second.size());
            EXPECT_GE(count, appendedBeforeClose[p]) << "producer " << p;
        }
        // Nothing accepted stayed behind: what was not delivered was refused.
        EXPECT_EQ(async->GetNbOfPackets(), 0u);
        testing::internal::CaptureStdout();
        async.reset();
        Detail::ConfigManager::ClearAppenders();  // the last owner: the destructor's Close prints here
        testing::internal::GetCapturedStdout();
    }
}

TEST(AsyncForwardConcurrency, CloseWaitsForAWorkerStillForwardingAfterTheShutdownTimeOut)
{
    // Opened once Shutdown has given up; it outlives the appenders, whose worker may still write.
    GateOnDiagnostic gate("AsyncBufferingForward.Close.3");
    ConfiguredAppenders config;
    auto recorder = config.Recorder("slow");
    std::atomic<bool> blocked{false};
    std::atomic<std::uint64_t> worker{0};
    recorder->onAppend = [&](const LoggingEvent&) {
        if (!blocked.exchange(true)) {
            worker.store(os::CurrentThreadId());
            gate.Wait();
        } else if (os::CurrentThreadId() == worker.load()) {
            // The rest of the worker's batch goes slowly, so that a Close that did not wait for it
            // would forward alongside.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    };
    auto async = config.Add(std::make_shared<AsyncBufferingForwardAppender>());
    async->SetName("async");
    async->SetOption("appender-ref/ref", "slow");
    async->SetOption("AsyncBufferingForward/Strategy/value", "0");
    async->Open();
    for (int i = 0; i < 16; ++i)
        Log(*async, "0:" + std::to_string(i));  // the 16th wakes the worker, which takes all and blocks
    ASSERT_TRUE(Eventually([&] { return blocked.load(); }));
    for (int i = 16; i < 21; ++i)
        Log(*async, "0:" + std::to_string(i));
    const std::string out = CloseQuietly(*async);
    EXPECT_NE(out.find("SendRemain, NbOfPkt : 5"), std::string::npos) << out;
    const auto delivered = ByProducer(*recorder);
    ExpectPrefixesInOrder(delivered);
    ASSERT_EQ(delivered.at(0).size(), 21u);
}

TEST(AsyncForwardConcurrency, CloseGivesUpOnAnAppenderThatHangsAndSaysWhatItCouldNotDeliver)
{
    ConfiguredAppenders config;
    auto hung = config.Recorder("hung");
    auto other = config.Recorder("other");
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false, released = false;
    hung->onAppend = [&](const LoggingEvent&) {
        std::unique_lock<std::mutex> lock(mutex);
        entered = true;
        changed.notify_all();
        changed.wait(lock, [&] { return released; });  // held until Close has returned
    };
    auto async = config.Add(std::make_shared<AsyncBufferingForwardAppender>());
    async->SetName("async");
    async->SetOption("appender-ref/ref", "other");
    async->SetOption("appender-ref/ref", "hung");
    async->SetOption("AsyncBufferingForward/Strategy/value", "0");
    async->Open();
    for (int i = 0; i < 16; ++i)
        Log(*async, "0:" + std::to_string(i));  // the 16th wakes the worker, which takes all and hangs
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return entered; });
    }
    for (int i = 16; i < 21; ++i)
        Log(*async, "0:" + std::to_string(i));
    const std::string out = CloseQuietly(*async);  // returns although the appender still hangs
    {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
    }
    // The first event reached the appender before it, the hung one is counted with the 15 events
    // behind it in the worker's batch and the 5 still buffered.
    EXPECT_NE(out.find("SendRemain, NbOfPkt : 0"), std::string::npos) << out;
    EXPECT_NE(out.find("Ref-Appender hung did not return in time, NbOfPkt not delivered : 21"), std::string::npos) << out;
    EXPECT_EQ(Quorlin::LostEvents::Of(std::string(async->GetName().StdView())), 21u);
    Quorlin::LostEvents::Clear();
    EXPECT_EQ(other->Messages(), std::vector<std::string>{"0:0"});
    EXPECT_EQ(other->Calls(), (std::vector<std::string>{"Open", "Close"}));
    EXPECT_EQ(hung->Calls(), std::vector<std::string>{"Open"});  // not closed under the hanging call
    // Once released the worker makes no further call.
    testing::internal::CaptureStdout();
    async.reset();
    Detail::ConfigManager::ClearAppenders();  // the destructor waits for the worker
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(hung->Messages(), std::vector<std::string>{"0:0"});
    EXPECT_EQ(other->Messages(), std::vector<std::string>{"0:0"});
}

TEST(ForwardConcurrency, ProducersKeepTheirOrderWhileAppendersComeAndGo)
{
    BufferingForwardAppender::SetCreator(&Factory::CreateAppender);  // as the module's start-up does
    ConfiguredAppenders config;
    auto recorder = config.Recorder("sink");
    recorder->onAppend = [](const LoggingEvent&) { std::this_thread::yield(); };  // forwarding threads overlap more
    auto forwarder = config.Add(std::make_shared<BufferingForwardAppender>());
    forwarder->SetName("fwd");
    forwarder->SetOption("appender-ref/ref", "sink");
    forwarder->SetOption("limitOfLogPacket/value", "3");
    forwarder->Open();
    constexpr int kEach = 2000;
    std::atomic<bool> done{false};
    std::thread churn([&] {
        while (!done.load()) {
            if (auto extra = forwarder->AddAppender("Appender.Memory", "extra"))
                extra->Open();
            forwarder->FindAppender("extra");
            forwarder->RemoveAppender("extra");
        }
    });
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&, p] {
            for (int i = 0; i < kEach; ++i)
                Log(*forwarder, std::to_string(p) + ":" + std::to_string(i));
        });
    for (auto& t : producers)
        t.join();
    done.store(true);
    churn.join();
    forwarder->Close();
    const auto delivered = ByProducer(*recorder);
    ExpectPrefixesInOrder(delivered);
    for (int p = 0; p < kProducers; ++p)
        EXPECT_EQ(delivered.at(p).size(), static_cast<std::size_t>(kEach));
}

TEST(ScheduleConcurrency, PostsAndWakeupsFromManyThreadsDuringShutdownAndInit)
{
    struct Task {
        void Run() { runs.fetch_add(1); }
        std::atomic<int> runs{0};
    } task;
    ORBEK::Utility::SingletonSchedule schedule;
    schedule.Init(0, 1);
    std::atomic<bool> done{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&] {
            while (!done.load()) {
                schedule.Repeat(std::chrono::milliseconds(5)).Async(&Task::Run, &task);
                schedule.Wakeup();
                schedule.Reschedule(std::chrono::milliseconds(1));
            }
        });
    for (int round = 0; round < 20; ++round) {
        schedule.Shutdown(std::chrono::milliseconds(100));
        schedule.Init(0, 1);
    }
    ASSERT_TRUE(Eventually([&] { return task.runs.load() > 0; }));
    done.store(true);
    for (auto& t : threads)
        t.join();
}
