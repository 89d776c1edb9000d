#include "FileWriter.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "diagnostics/Trace.h"
#include "file/LossAccount.h"
#include "host/Utility.h"
#include "os/Directory.h"
#include "os/File.h"
#include "os/Path.h"
#include "rolling/DirectoryHelpers.h"

namespace Quorlin {
namespace {

constexpr int kWatchAttempts = 2'000;
// How many events a writer waits for at most, and how long: about the time of one write, so that
// waiting for the others never costs more than the write it saves.
constexpr std::uint32_t kMostGathered = 8;
constexpr auto kGatherWait = std::chrono::microseconds(2);
// A write costs about twice as much from a core other than the last one's: the thread that wrote
// last takes the file again when its own event is in the next group, and the others leave it to it
// for this long.
constexpr auto kDeferWait = std::chrono::microseconds(4);

const void* ThisThreadMark()
{
    static thread_local const char mark = 0;
    return &mark;
}

// Whether the file's last byte is something other than a line end: its last line was cut short.
bool EndsMidLine(const WString& name)
{
    os::NativeFile file = os::kInvalidFile;
    if (!os::OpenFile(name.StdView(), os::Access::Read, os::Disposition::OpenExisting,
                      os::ShareRead | os::ShareWrite | os::ShareDelete, file)
             .Ok())
        return false;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
    char last = '\n';
    std::uint32_t read = 0;
    if (os::FileSizeOf(file, size).Ok() && size > 0 && os::SeekFile(file, static_cast<std::int64_t>(size) - 1, 0, position).Ok())
        os::ReadFromFile(file, &last, 1, read);
    os::CloseFile(file);
    return read == 1 && last != '\n';
}

}  // namespace

bool FileWriter::Open(const WString& name)
{
    Trace(LevelInfo, "Enter FileWriter.File.Open, FullFileName : [{$}]", name);
    // Every part of the split and the whole name must fit the platform's limits; a longer name is
    // refused rather than cut into the name of some other file.
    os::PathParts parts;
    if (name.GetLength() + 1 > os::MaxPathLength() || !os::SplitPath(name.StdView(), parts, 260).Ok()) {
        Trace(LevelError, "FileWriter.File.Open, the name is too long ({$} characters), not opened : [{$}]", name.GetLength(),
              name);
        m_LastOpenError = "the name is too long";
        return false;
    }
    const WString directory = WString(parts.drive.c_str()) +
                              Utility::NormalizeForFileName(parts.directory.c_str(),
                                                            static_cast<std::int32_t>(parts.directory.size()));
    ORBEK::Utility::File::CreateDir(directory, WString());

    const WString normalized = Utility::NormalizeForFileName(name.c_str(), name.GetLength());
    Trace(LevelInfo, "FileWriter.File.Open, will open [{$}]", normalized);
    m_NormalizedName = normalized;

    OpenResult result;
    if (m_Append && os::PathExists(normalized.StdView())) {
        const bool torn = m_EndTornLine && EndsMidLine(normalized);
        // An existing file that cannot be opened for writing is created anew.
        if (!(result = m_File.Open(normalized, kDenyWrite, 'A')))
            result = m_File.Open(normalized, kDenyWrite, 'W');
        if (!m_File.IsBad() && m_File.Seek(0, 2) > 0 && torn)
            m_File.Write("\r\n", 2);
    } else {
        result = m_File.Open(normalized, kDenyWrite, 'W');
    }
    m_LastOpenError.Clear();
    if (!result) {
        m_LastOpenError = result.Error()->Message();
        Trace(LevelError, "FileWriter.File.Open, cannot open [{$}] : {$}", normalized, m_LastOpenError);
    }
    return !m_File.IsBad();
}

void FileWriter::Close()
{
    // A handle whose last write failed is closed too: left open it would keep the file locked, and
    // every later rename of it would fail.
    if (!m_File.IsOpen())
        return;
    m_File.Close();
    Trace(LevelInfo, "Leave FileAppender.FileWriter.Close on [{$}]", m_NormalizedName);
}

void FileWriter::NewLine()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (std::exchange(m_SkipLineEnd, false))
        return;
    m_LastWriteFailed = !m_File.Write("\r\n", 2);
}

void FileWriter::Write(std::int32_t level, const char* first, std::int32_t firstLength, const char* second,
                       std::int32_t secondLength)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    const bool counted = m_Losses != nullptr && level != 0;
    if (counted)
        WriteNoteLocked();
    bool written = true;
    if (first != nullptr && firstLength >= 1)
        written = m_File.Write(first, static_cast<std::uint32_t>(firstLength));
    if (second != nullptr && secondLength >= 1)
        written = m_File.Write(second, static_cast<std::uint32_t>(secondLength)) && written;
    m_LastWriteFailed = !written;
    m_SkipLineEnd = false;
    if (counted && !written) {
        m_Losses->Lost(1, m_NormalizedName);
        m_SkipLineEnd = true;
    }
}

FileWriter::Group::Group() { text.reserve(1024); }

void FileWriter::WriteEvent(std::int32_t level, std::string_view text, bool lineEnd)
{
    std::uint64_t ticket = 0;
    {
        std::lock_guard<os::SpinLock> group(m_Group.mutex);
        m_Group.text.append(text);
        if (lineEnd)
            m_Group.text.append("\r\n", 2);
        m_Group.counted += level != 0;
        ticket = m_GivenTickets.load(std::memory_order_relaxed) + 1;
        m_GivenTickets.store(ticket, std::memory_order_release);
    }
    // Events given and not written yet, this one included: how many threads are writing at once.
    const std::uint64_t waiting = ticket - std::min(ticket, m_WrittenTickets.load(std::memory_order_relaxed));
    if (waiting > m_Concurrency.load(std::memory_order_relaxed))
        m_Concurrency.store(static_cast<std::uint32_t>(std::min<std::uint64_t>(waiting, kMostGathered)),
                            std::memory_order_relaxed);
    // The thread that gets the file writes what every thread has given so far. The others watch
    // for their event to be written for a while before they wait for the file: going to sleep and
    // being woken costs more than the write. A thread that did not write last leaves the file to
    // the one that did for a moment, unless its own event is the only one waiting.
    const bool defer = waiting > 1 && m_LastWriter.load(std::memory_order_relaxed) != ThisThreadMark();
    const auto deferUntil = defer ? std::chrono::steady_clock::now() + kDeferWait : std::chrono::steady_clock::time_point();
    for (int attempt = 0;; ++attempt) {
        if (m_WrittenTickets.load(std::memory_order_acquire) >= ticket)
            return;  // written with a group while this thread waited
        if (defer && attempt < kWatchAttempts / 2 && (attempt % 16 != 15 || std::chrono::steady_clock::now() < deferUntil))
            continue;
        if (attempt < kWatchAttempts ? m_Mutex.try_lock() : (m_Mutex.lock(), true))
            break;
        if (attempt >= kWatchAttempts / 2)
            std::this_thread::yield();
    }
    std::lock_guard<std::mutex> lock(m_Mutex, std::adopt_lock);
    if (m_WrittenTickets.load(std::memory_order_relaxed) >= ticket)
        return;
    GatherLocked();
    std::uint32_t events = 0;
    {
        std::lock_guard<os::SpinLock> group(m_Group.mutex);
        m_Writing.swap(m_Group.text);
        events = std::exchange(m_Group.counted, 0);
        ticket = m_GivenTickets.load(std::memory_order_relaxed);
    }
    if (m_Losses != nullptr && events > 0)
        WriteNoteLocked();
    const bool written = m_Writing.empty() || m_File.Write(m_Writing.data(), static_cast<std::uint32_t>(m_Writing.size()));
    m_LastWriteFailed = !written;
    m_SkipLineEnd = false;
    if (!written && m_Losses != nullptr && events > 0)
        m_Losses->Lost(events, m_NormalizedName);
    m_Writing.clear();
    m_WrittenTickets.store(ticket, std::memory_order_release);
}

void FileWriter::GatherLocked()
{
    // Threads that write at once would otherwise take turns at the file, one event per write, each
    // write from another core. When several did lately, the writer waits a moment for the events
    // they are about to give, so that one write carries them all. A wait that ends without them
    // lowers the expectation: a thread that stopped logging costs one such wait, not one per event.
    m_LastWriter.store(ThisThreadMark(), std::memory_order_relaxed);
    const std::uint32_t expected = m_Concurrency.load(std::memory_order_relaxed);
    if (expected < 2)
        return;
    const std::uint64_t written = m_WrittenTickets.load(std::memory_order_relaxed);
    auto gathered = [&] { return m_GivenTickets.load(std::memory_order_acquire) - written >= expected; };
    if (gathered())
        return;
    const auto until = std::chrono::steady_clock::now() + kGatherWait;
    for (int spin = 1;; ++spin) {
        if (gathered())
            return;
        if (spin % 16 == 0 && std::chrono::steady_clock::now() >= until)
            break;
    }
    m_Concurrency.store(expected - 1, std::memory_order_relaxed);
}

void FileWriter::WriteNoteLocked()
{
    if (!m_Losses->Pending() || !m_File.IsOpen())
        return;
    std::uint64_t count = 0;
    const DString note = m_Losses->Note(m_NormalizedName, count);
    if (m_File.Write(note.c_str(), static_cast<std::uint32_t>(note.GetLength())))
        m_Losses->Noted(count, m_NormalizedName);
}

void FileWriter::WritePendingNote()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_Losses != nullptr)
        WriteNoteLocked();
}

void RollingFileWriter::Write(std::int32_t level, const char* first, std::int32_t firstLength, const char* second,
                              std::int32_t secondLength)
{
    FileWriter::Write(level, first, firstLength, second, secondLength);
    if (m_Owner != nullptr && !m_LastWriteFailed)
        m_Owner->AddWrittenBytes(static_cast<std::uint64_t>(static_cast<std::int64_t>(firstLength) + secondLength));
}

BufferedWriter::Buffer::Buffer(std::int32_t reserve) : text(new DString()) { text->Reserve(reserve); }

BufferedWriter::Buffer::~Buffer()
{
    std::lock_guard<std::recursive_mutex> lock(mutex);
    delete text;
    text = nullptr;
}

BufferedWriter::BufferedWriter(std::unique_ptr<Writer> inner, std::int32_t capacity, BatchObserver* observer)
    : m_Inner(std::move(inner)), m_Capacity(capacity), m_Buffer(std::make_unique<Buffer>(capacity + 16)), m_Observer(observer)
{
}

BufferedWriter::~BufferedWriter()
{
    m_Buffer.reset();
    m_Inner.reset();
}

void BufferedWriter::FlushLocked(std::int32_t level)
{
    if (m_Halted)
        return;
    DString& text = *m_Buffer->text;
    m_Inner->Write(level, text.c_str(), text.GetLength(), nullptr, 0);
    if (m_Observer != nullptr)
        m_Halted = m_Observer->BatchWritten(m_BatchEvents, text.c_str(), text.GetLength(), nullptr, 0);
    m_BatchEvents = 0;
    text.Clear();
}

void BufferedWriter::Write(std::int32_t level, const char* first, std::int32_t firstLength, const char* second,
                           std::int32_t secondLength)
{
    std::lock_guard<std::recursive_mutex> lock(m_Buffer->mutex);
    ++m_Writes;
    DString& text = *m_Buffer->text;
    const std::int64_t incoming = static_cast<std::int64_t>(firstLength) + secondLength;
    if (text.GetLength() + incoming > m_Capacity)
        FlushLocked(level);
    if (incoming <= m_Capacity || m_Halted) {
        if (first != nullptr)
            text.Append(first, firstLength);
        if (second != nullptr)
            text.Append(second, secondLength);
        m_BatchEvents += level != 0;
    } else {
        m_Inner->Write(level, first, firstLength, second, secondLength);
        if (m_Observer != nullptr)
            m_Halted = m_Observer->BatchWritten(level != 0 ? 1 : 0, first, firstLength, second, secondLength);
    }
}

void BufferedWriter::NewLine()
{
    std::lock_guard<std::recursive_mutex> lock(m_Buffer->mutex);
    ++m_Writes;
    m_Buffer->text->Append("\r\n", 2);
}

void BufferedWriter::Flush()
{
    std::lock_guard<std::recursive_mutex> lock(m_Buffer->mutex);
    if (m_Buffer->text->GetLength() > 0)
        FlushLocked(0);
}

void BufferedWriter::Close()
{
    std::lock_guard<std::recursive_mutex> lock(m_Buffer->mutex);
    Flush();
    m_Inner->Close();
}

void BufferedWriter::TakeHeld(DString& text, std::uint64_t& events)
{
    std::lock_guard<std::recursive_mutex> lock(m_Buffer->mutex);
    text.Append(m_Buffer->text->c_str(), m_Buffer->text->GetLength());
    events += std::exchange(m_BatchEvents, 0);
    m_Buffer->text->Clear();
}

bool BufferedWriter::Halted() const
{
    std::lock_guard<std::recursive_mutex> lock(m_Buffer->mutex);
    return m_Halted;
}

bool BufferedWriter::FlushIfIdle(std::uint64_t& seen)
{
    std::lock_guard<std::recursive_mutex> lock(m_Buffer->mutex);
    const bool idle = m_Writes == seen && m_Buffer->text->GetLength() > 0;
    seen = m_Writes;
    if (idle)
        FlushLocked(0);
    return idle;
}

std::int32_t BufferedWriter::BufferedLength() const
{
    std::lock_guard<std::recursive_mutex> lock(m_Buffer->mutex);
    return m_Buffer->text->GetLength();
}

}  // namespace Quorlin
