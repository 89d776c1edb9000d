#pragma once
// "Appender.AsyncBufferingForward": buffers events and forwards them to its referenced appenders on
// the worker of its own single-task schedule; the appending threads only copy, nudge the worker and,
// when it falls far behind, pause. Close waits a bounded time for the worker, stops it and forwards
// the rest itself; a worker stuck in a referenced appender is abandoned, and what it could not
// deliver is counted and reported.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "buffering/BufferingAppender.h"
#include "utility/SingletonSchedule.h"

namespace Quorlin {

class AsyncBufferingForwardAppender : public BufferingAppender {
public:
    // Given the appender and the event after each Append; the result picks the step that follows.
    using Strategy = std::function<int(AsyncBufferingForwardAppender&, const LoggingEvent&)>;
    // The steps a strategy (or "AsyncBufferingForward/Strategy/value") picks; any other number adds nothing.
    static constexpr int kStrategyWakeWorker = 1;   // wake the worker now
    static constexpr int kStrategyDelayWorker = 2;  // move its next run kRescheduleDelay ahead
    static constexpr int kStrategyKeepPosted = 3;   // keep its kRepeatInterval run posted (also with no strategy)

    static constexpr const char* kPoolName = "Quorlin.AsyncBuf";
    static constexpr std::chrono::milliseconds kRepeatInterval{8'649};
    static constexpr std::chrono::milliseconds kRescheduleDelay{75'000};
    static constexpr std::chrono::milliseconds kKeepAlive{300'000};
    static constexpr std::chrono::milliseconds kShutdownTimeout{4'796};
    // How much longer Close waits, after the Shutdown time-out, for a worker still inside a
    // referenced appender before it gives up on what that worker holds.
    static constexpr std::chrono::milliseconds kForwardGrace{1'000};

    AsyncBufferingForwardAppender();
    // Runs Close (once more, if it already ran), then stops the schedule.
    ~AsyncBufferingForwardAppender() override;

    // Resolves the "appender-ref/ref" names, opening those found closed; with at least one, names,
    // readies and posts the send task to the schedule. True; false, with the appender left closed and
    // nothing referenced, when the names lead back to this appender (a cycle).
    bool Open() override;
    // Wakes and waits for the worker (bounded), stops it, forwards the rest in this thread (its count
    // also printed on standard output), closes and drops the referenced appenders, then this one.
    // A worker still forwarding after the wait is abandoned: it stops after the call it is in, the
    // events it and the buffer still hold are destroyed undelivered and their number is reported
    // (standard output and diagnostics), and the referenced appender it is in is not closed here.
    // Destruction still waits for such a worker, which runs this object's code.
    void Close() override;
    // Buffers like BufferingAppender, then the strategy step and the pause step.
    void Append(const LoggingEvent* event) override;
    // "appender-ref/ref" (case-sensitive), "AsyncBufferingForward/Strategy/value" (ignoring case);
    // any other key goes to every referenced appender, then to BufferingAppender.
    void SetOption(const DString& key, const DString& value) override;
    // ActivateOptions of every referenced appender; nothing for this one.
    void ActivateOptions() override;
    // Wakes the worker; the packets stay for it.
    void SendBuffer() override;

    // The worker's task: forwards what is buffered.
    void THSendBuffer();

    std::vector<std::shared_ptr<Appender>> ReferencedAppenders() const override;

    // Events a referenced appender refused by throwing, since construction.
    std::int64_t GetNbOfFailedDeliveries() const { return m_FailedDeliveries.load(); }

private:
    using Targets = std::vector<std::shared_ptr<Appender>>;

    // Moves the buffered packets out and hands each, in order, to every referenced appender.
    // Returns how many were taken. Called with the forwarding turn taken.
    int Drain(const Targets& targets);
    // Hands the packets in order to the targets; stops early once Close has abandoned the worker.
    // Returns how many packets were handed over whole. The packets stay for recycling.
    int Forward(std::unique_ptr<LogPacket>* packets, std::size_t count, const Targets& targets);
    // One event to one appender; an exception is counted, reported once per run of failures, and
    // does not keep the event from the other appenders or the later events from this one.
    void Deliver(Appender& appender, const LoggingEvent& event);
    // The steps of Close: wake the worker until the queue is empty (bounded) and stop its schedule;
    // forward what is left, or count it when the worker was abandoned, and return the appender that
    // worker is stuck in; report failed deliveries; close the referenced appenders but that one.
    void DrainAndStopWorker();
    Appender* ForwardRest(bool workerDone, const Targets& targets);
    void ReportAbandoned(std::int64_t unsent, const Appender* stuckIn);
    void ReportFailedDeliveries();
    static void CloseTargets(const Targets& targets, const Appender* stuckIn);
    std::shared_ptr<const Targets> CurrentTargets() const;
    void SetTargets(Targets targets);
    void StrategyStep(const LoggingEvent& event);
    void SleepShort();
    void PauseStep();
    std::vector<std::shared_ptr<Appender>> ResolveNames() const;

    Strategy m_Strategy;
    // Taken by whoever forwards (the worker, or Close for the rest), so that batches never overtake
    // one another. Close waits for it a bounded time.
    class ForwardingTurn {
    public:
        void Take();
        bool TakeWithin(std::chrono::milliseconds wait);
        void Give();

    private:
        std::mutex m_Mutex;
        std::condition_variable m_Free;
        bool m_Taken = false;
    };
    ForwardingTurn m_ForwardTurn;
    // Guards the list pointer only. The list itself is never changed once published: the worker
    // forwards to the list it took, which stays alive with it even after Close has let go of it.
    mutable std::mutex m_ListMutex;
    std::shared_ptr<const Targets> m_RefAppenders;
    std::vector<DString> m_RefNames;
    // Set by a Close that stopped waiting for the worker; the worker makes no further call.
    std::atomic<bool> m_Abandoned{false};
    // The appender the worker is calling now (null between calls), and the packets of its batch not
    // yet handed over whole.
    std::atomic<Appender*> m_BusyIn{nullptr};
    std::atomic<std::int64_t> m_InFlight{0};
    std::atomic<std::int64_t> m_FailedDeliveries{0};
    std::atomic<bool> m_Failing{false};
    // Last, so that it is destroyed first: its worker is gone before the rest of the appender.
    ORBEK::Utility::SingletonSchedule m_Schedule;
};

}  // namespace Quorlin
