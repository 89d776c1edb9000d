#pragma once
// "Appender.RollingFile": a file appender whose file rolls over by size or time into a history of
// renamed, compressed and purged files.

#include <atomic>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "file/CompressionLauncher.h"
#include "file/FileAppender.h"
#include "file/TriggeringPolicy.h"
#include "os/Sync.h"
#include "rolling/RollingPolicy.h"

namespace Quorlin {

class RollingFileAppender : public FileAppender, private WrittenBytesCounter, private BatchObserver {
public:
    RollingFileAppender();
    // Closes the writer chain while the byte counter it feeds still exists.
    ~RollingFileAppender() override;

    // Opens the first file; when appending, the byte count starts from the file's size.
    bool Open() override;
    // Writes under the shared roll lock, then asks the trigger; a confirmed trigger rolls over under
    // the exclusive lock, inside the fault guard.
    void Append(const LoggingEvent* event) override;
    // Remembers the trigger and rolling options for the policies; see the option table in the docs.
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
    // Roll-overs that had to wait for an earlier compression first.
    std::int64_t CompressionWaits() const { return m_CompressionWaits.load(); }
    // Waits until the compressions this appender started have finished.
    void WaitForCompressions() { m_Compressions.WaitUntilIdle(); }

private:
    void AddWrittenBytes(std::uint64_t bytes) override { m_FileSize.fetch_add(bytes, std::memory_order_relaxed); }
    // Counts the events of batches whose write failed; the first batch written after them reports the
    // count, once.
    void BatchWritten(std::uint32_t events) override;
    bool Rollover();
    void CloseWithTrailer();
    void WriteStartBanner();
    // The size of the current file, as the roll-over measures it.
    std::uint64_t CurrentFileSize() const;
    // While the next file could not be opened: retries at most once a second; false when the event
    // cannot be written (it is counted).
    bool RecoverWriter(const LoggingEvent* event);
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
    std::atomic<std::int64_t> m_CompressionWaits{0};
    bool m_ForceAppend = false;      // the next CreateWriter appends whatever the option says
    DString m_LastOpenError;
    std::atomic<bool> m_WriterBroken{false};
    std::atomic<std::int64_t> m_NextReopenTicks{0};
    std::atomic<std::uint64_t> m_LostEvents{0};
    RollingFileWriter* m_File = nullptr;           // inside the current writer; changed under the exclusive lock
    std::atomic<std::uint64_t> m_UnwrittenEvents{0};  // events of failed writes not reported yet
    std::atomic<std::int64_t> m_NextRollTicks{0};  // after a failed rename, the next attempt
    std::int64_t m_FailedRenames = 0;
};

} // namespace Quorlin
