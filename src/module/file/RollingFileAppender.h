#pragma once
// "Appender.RollingFile": a file appender whose file rolls over by size or time into a history of
// renamed, compressed and purged files.

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "file/BacklogWriter.h"
#include "file/CompressionLauncher.h"
#include "file/FileAppender.h"
#include "file/PeriodicTask.h"
#include "file/TriggeringPolicy.h"
#include "host/Level.h"
#include "os/Sync.h"
#include "rolling/RollingPolicy.h"

namespace Quorlin {

class RollingFileAppender : public FileAppender, private WrittenBytesCounter, private BatchObserver {
public:
    RollingFileAppender();
    // Closes the writer chain while the byte counter it feeds still exists.
    ~RollingFileAppender() override;

    // Opens the first file; when appending, the byte count starts from the file's size. Starts the
    // appender's thread that writes out the batch of a quiet appender and retries a file that would
    // not open.
    bool Open() override;
    // Stops that thread, makes one last attempt to open a file that would not open, then closes;
    // events still held then are lost, and every loss of the appender's life is summed up (LevelError).
    void Close() override;
    // Writes under the shared roll lock, then asks the trigger; a confirmed trigger rolls over under
    // the exclusive lock, inside the fault guard.
    void Append(const LoggingEvent* event) override;
    // Remembers the trigger and rolling options for the policies; takes "idleFlush/value",
    // "flushLevel/value" and "backlogSize/value"; see the option table in the docs.
    void SetOption(const DString& key, const DString& value) override;
    // Corrects the history pattern, makes and activates both policies, computes the file name.
    void ActivateOptions() override;
    // A RollingFileWriter counting into this appender, behind an 8192-byte BufferedWriter that tells
    // it which batches of events reached the file.
    void CreateWriter(std::unique_ptr<Writer>& writer) override;

    std::uint64_t GetFileSize() const { return m_FileSize.load(std::memory_order_relaxed); }
    const TriggeringPolicy* GetTriggeringPolicy() const { return m_TriggeringPolicy.get(); }
    const RollingPolicy* GetRollingPolicy() const { return m_RollingPolicy.get(); }
    const DString& GetFileNamePattern() const { return m_FileNamePatternValue; }
    // Waits until the compressions this appender started have finished.
    void WaitForCompressions() { m_Compressions.WaitUntilIdle(); }

    // Milliseconds a batch may wait with no new event before it is written out (0: never).
    std::int32_t IdleFlushMilliseconds() const { return m_IdleFlushMs; }
    // Events at or above this level are written out at once, with what the batch holds.
    std::int32_t FlushLevel() const { return m_FlushLevel; }

private:
    void AddWrittenBytes(std::uint64_t bytes) override { m_FileSize.fetch_add(bytes, std::memory_order_relaxed); }
    // A batch whose write failed (a full disk, a file size limit) is kept for the backlog, as far as
    // it fits; the first batch written after losses notes their count, once.
    bool BatchWritten(std::uint32_t events, const char* first, std::int32_t firstLength, const char* second,
                      std::int32_t secondLength) override;
    // After a failed write: the file is closed and events wait in the backlog, the failed batch first,
    // until a retry can write them.
    void HoldAfterFailedWrite();
    // Its own thread retries; nothing to do for a waiting host.
    void TryAgain() override {}
    // A count of milliseconds or bytes; below 0 is corrected to 0 with a diagnostic.
    std::int32_t CountOption(const DString& key, const DString& value) const;
    // A level name or number; anything else keeps `current`, with a diagnostic.
    std::int32_t LevelOption(const DString& key, const DString& value, std::int32_t current) const;
    bool Rollover();
    void CloseWithTrailer();
    void WriteStartBanner();
    // The size of the current file, as the roll-over measures it.
    std::uint64_t CurrentFileSize() const;
    // The file could not be opened or written: events wait in a backlog, and the file is tried again
    // soon; the module counts the appender as one that cannot write meanwhile.
    void HoldEvents(std::int64_t firstRetryTicks);
    // Under the exclusive lock: opens the file again (appending) and writes the header, the banner, the
    // backlog and the note of what did not fit. True when all of it reached the file; otherwise the
    // backlog stays as it is.
    bool Reopen();
    // Events still held when no attempt is left are lost; the spell ends.
    void GiveUpHeldEvents();
    // Reopens when a retry is due (it backs off from 2 ms to 1 s between attempts).
    void RetryWhenDue();
    // The appender's own thread: retries the file, writes out the batch of a quiet appender; gives
    // the milliseconds until the next run.
    std::uint32_t Housekeeping();
    static void RolloverStep(void* appender);

    os::RwLock m_RollLock;
    std::unique_ptr<TriggeringPolicy> m_TriggeringPolicy;
    std::unique_ptr<RollingPolicy> m_RollingPolicy;
    std::atomic<std::uint64_t> m_FileSize{0};
    DString m_FileNamePatternValue;
    bool m_HasInterval = false;
    bool m_HasMaxFileSize = false;
    bool m_HasMaxIndex = false;
    std::vector<std::pair<DString, DString>> m_TriggerOptions;
    std::vector<std::pair<DString, DString>> m_RollingOptions;

    CompressionLauncher m_Compressions;
    bool m_ForceAppend = false;  // the next CreateWriter appends whatever the option says
    DString m_LastOpenError;
    std::atomic<bool> m_WriterBroken{false};  // the writer is the backlog
    std::atomic<std::int64_t> m_NextReopenTicks{0};
    std::int64_t m_ReopenDelayTicks = 0;
    bool m_Stalled = false;                    // a spell counted in WriteStalls; under the exclusive lock
    bool m_HoldForWrite = false;               // the backlog is held because writing failed
    std::atomic<bool> m_HoldRequested{false};  // a batch failed: hold at the next chance
    DString m_FailedText;                      // batches that failed, under the batch's lock
    std::uint64_t m_FailedEvents = 0;
    BacklogWriter* m_Backlog = nullptr;            // the writer while the file cannot be opened
    RollingFileWriter* m_File = nullptr;           // inside the current writer; changed under the exclusive lock
    BufferedWriter* m_Batch = nullptr;             // likewise
    std::atomic<std::int64_t> m_NextRollTicks{0};  // after a failed rename, the next attempt
    std::int64_t m_FailedRenames = 0;

    std::int32_t m_IdleFlushMs = 1000;
    std::int32_t m_FlushLevel = LevelError;
    std::int32_t m_BacklogBytes = 1 << 20;
    std::uint64_t m_SeenWrites = 0;  // the housekeeping thread's view of the batch
    PeriodicTask m_Housekeeping;
};

}  // namespace Quorlin
