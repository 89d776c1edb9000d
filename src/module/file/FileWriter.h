#pragma once
// Writers of log files: FileWriter straight to the file, RollingFileWriter counting the bytes for its
// owner, BufferedWriter batching small writes for another writer.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "file/WinFile.h"
#include "host/Writer.h"
#include "os/Sync.h"

namespace Quorlin {

class LossAccount;

class FileWriter : public Writer {
public:
    FileWriter() = default;
    ~FileWriter() override = default;  // the WinFile closes its handle silently; no flush

    void SetAppend(bool append) { m_Append = append; }
    // With an account, each event (a write at a level other than 0) that fails is counted there and
    // its line end is left out, and the first event written after such losses is preceded by their
    // note. Without one (behind a BufferedWriter, whose batches carry many events) nothing is counted.
    void SetLossAccount(LossAccount* losses) { m_Losses = losses; }
    // Whether a cut-short last line of an appended file is ended first (on unless the appender writes
    // no line ends of its own).
    void SetEndTornLine(bool end) { m_EndTornLine = end; }
    // Opens name, creating its missing directories first; appends to an existing file when m_Append
    // is set (falling back to truncating when it cannot be opened for writing), else creates or
    // truncates. An appended file whose last line was cut short (a crash mid-write) gets a line end
    // first, so that the next text starts a line of its own. Other processes may read the file while
    // it is open, not write, delete or rename it. Names beyond the platform's limits are refused with
    // a diagnostic, never cut. True when open.
    bool Open(const WString& name);

    // Closes the handle (also after a failed write) and says so once.
    void Close() override;
    void Flush() override {}
    void NewLine() override;
    void Write(std::int32_t level, const char* first, std::int32_t firstLength, const char* second,
               std::int32_t secondLength) override;
    // One event, with its line end when `lineEnd`, in one write of the file: the event is in the
    // operating system when the call returns. Events that other threads give while a write is in
    // progress go out together in the next one, each in the order it was given. Safe from any
    // number of threads; losses are counted as by Write.
    void WriteEvent(std::int32_t level, std::string_view text, bool lineEnd);

    const WString& GetNormalizedName() const { return m_NormalizedName; }
    // The system's text for the last failed open; empty after a successful one.
    const DString& LastOpenError() const { return m_LastOpenError; }
    bool IsBad() const { return m_File.IsBad(); }
    // With an account whose losses wait for their note: tries to write the note now, so that a quiet
    // appender finds out when writing works again.
    void WritePendingNote();
    // Whether the last Write lost any of its text (disk full, device gone).
    bool LastWriteFailed() const { return m_LastWriteFailed; }

protected:
    void WriteNoteLocked();
    // Under m_Mutex, before a write of the group: waits briefly for the events other threads are
    // about to give when several threads gave at once lately.
    void GatherLocked();

    bool m_Append = true;
    bool m_LastWriteFailed = false;
    bool m_SkipLineEnd = false;  // the event before it was lost
    bool m_EndTornLine = true;
    std::mutex m_Mutex;  // held across every write of the file (WritePendingNote from a waiting host too)
    // Events given to WriteEvent and not yet written, under their own lock, so that threads can add
    // to the next write while the current one is in progress.
    class Group {
    public:
        Group();
        os::SpinLock mutex;
        std::string text;                 // the next write
        std::uint32_t counted = 0;        // events of the next write that a loss would count
    };
    Group m_Group;
    std::string m_Writing;                // the write in progress, under m_Mutex
    std::atomic<std::uint64_t> m_WrittenTickets{0};  // events whose write has ended; written under m_Mutex
    // Events given so far (tickets): changed under the group's lock, read without it by a writer
    // that waits for more.
    std::atomic<std::uint64_t> m_GivenTickets{0};
    std::atomic<const void*> m_LastWriter{nullptr};  // the thread of the last write
    std::atomic<std::uint32_t> m_Concurrency{1};     // events waiting at once lately (1 to kMostGathered)
    LossAccount* m_Losses = nullptr;
    WinFile m_File;
    WString m_NormalizedName;
    DString m_LastOpenError;
};

// What a RollingFileWriter reports its written bytes to.
class WrittenBytesCounter {
public:
    virtual void AddWrittenBytes(std::uint64_t bytes) = 0;

protected:
    ~WrittenBytesCounter() = default;
};

class RollingFileWriter final : public FileWriter {
public:
    explicit RollingFileWriter(WrittenBytesCounter* owner) : m_Owner(owner) {}
    ~RollingFileWriter() override = default;
    // As FileWriter::Write, then the lengths go to the owner's count when they reached the file: a file
    // that cannot grow does not roll over into empty history files.
    void Write(std::int32_t level, const char* first, std::int32_t firstLength, const char* second,
               std::int32_t secondLength) override;

private:
    WrittenBytesCounter* m_Owner;
};

// Told how many events each write of a BufferedWriter carried to its inner writer, and their text.
class BatchObserver {
public:
    // Called under the writer's lock, right after the inner write, with the text it was given (up to
    // two parts), so that a batch whose write failed can be kept. True halts the writer: later text
    // stays in its buffer, in order, until TakeHeld.
    virtual bool BatchWritten(std::uint32_t events, const char* first, std::int32_t firstLength, const char* second,
                              std::int32_t secondLength) = 0;

protected:
    ~BatchObserver() = default;
};

class BufferedWriter final : public Writer {
public:
    // Owns inner; batches up to capacity bytes. Writes at a level other than 0 count as events for the
    // observer, if any; the appenders write their own texts (headers, banners) at level 0.
    BufferedWriter(std::unique_ptr<Writer> inner, std::int32_t capacity, BatchObserver* observer = nullptr);
    // The buffer first (its unwritten text is lost), then the inner writer: destruction never flushes.
    ~BufferedWriter() override;

    // Flushes first when the new text would overflow the batch; text larger than the capacity goes
    // to the inner writer directly.
    void Write(std::int32_t level, const char* first, std::int32_t firstLength, const char* second,
               std::int32_t secondLength) override;
    void NewLine() override;  // CR LF into the batch, no capacity check
    void Flush() override;
    void Close() override;  // Flush (unless halted), then the inner writer's Close

    Writer* Inner() const { return m_Inner.get(); }
    std::int32_t BufferedLength() const;
    // While halted: appends what the buffer holds to `text`, its events to `events`, and empties it.
    void TakeHeld(DString& text, std::uint64_t& events);
    bool Halted() const;
    // Flushes a batch to which nothing was added since the last call (`seen` carries the count of
    // writes between calls): what a quiet appender holds reaches the file. True when it flushed.
    bool FlushIfIdle(std::uint64_t& seen);

private:
    // The batch: a heap string and the recursive mutex held across every operation, inner calls included.
    class Buffer {
    public:
        explicit Buffer(std::int32_t reserve);
        virtual ~Buffer();
        DString* text;
        std::recursive_mutex mutex;
    };
    void FlushLocked(std::int32_t level);

    std::unique_ptr<Writer> m_Inner;
    std::int32_t m_Capacity;
    std::unique_ptr<Buffer> m_Buffer;
    BatchObserver* m_Observer;
    std::uint32_t m_BatchEvents = 0;  // guarded by the buffer's mutex
    std::uint64_t m_Writes = 0;       // likewise
    bool m_Halted = false;            // likewise: the observer asked that nothing more be written
};

}  // namespace Quorlin
