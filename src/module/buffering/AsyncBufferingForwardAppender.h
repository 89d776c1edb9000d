#pragma once
// "Appender.AsyncBufferingForward": buffers events and forwards them to its referenced appenders on
// the worker of its own single-task schedule; the appending threads only copy, nudge the worker and,
// when it falls far behind, pause. Close waits a bounded time for the worker, stops it and forwards
// the rest itself.

#include <chrono>
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

    static constexpr const char* kPoolName = "Quorlin.AsyncBuf";
    static constexpr std::chrono::milliseconds kRepeatInterval{8'649};
    static constexpr std::chrono::milliseconds kRescheduleDelay{75'000};
    static constexpr std::chrono::milliseconds kKeepAlive{300'000};
    static constexpr std::chrono::milliseconds kShutdownTimeout{4'796};

    AsyncBufferingForwardAppender();
    // Runs Close (once more, if it already ran), then stops the schedule.
    ~AsyncBufferingForwardAppender() override;

    // Resolves the "appender-ref/ref" names, opening those found closed; with at least one, names,
    // readies and posts the send task to the schedule. True; false, with the appender left closed and
    // nothing referenced, when the names lead back to this appender (a cycle).
    bool Open() override;
    // Wakes and waits for the worker (bounded), stops it, forwards the rest in this thread (its count
    // also printed on standard output), closes and drops the referenced appenders, then this one.
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

private:
    // Moves the buffered packets out and hands each, in order, to every referenced appender.
    // Returns how many were taken. Called with m_SendMutex held.
    int Drain();
    int Forward(LogPacketQueue::Packets packets);
    void StrategyStep(const LoggingEvent& event);
    void SleepShort();
    void PauseStep();
    std::vector<std::shared_ptr<Appender>> ResolveNames() const;

    Strategy m_Strategy;
    // Held by whoever walks or changes the referenced appenders: the worker while it forwards, the
    // configuring thread in Open, Close and the options. Close therefore waits for a worker that
    // outlived the Shutdown time-out, and batches never overtake one another.
    mutable std::mutex m_SendMutex;
    std::vector<std::shared_ptr<Appender>> m_RefAppenders;
    std::vector<DString> m_RefNames;
    // Last, so that it is destroyed first: its worker is gone before the rest of the appender.
    ORBEK::Utility::SingletonSchedule m_Schedule;
};

} // namespace Quorlin
