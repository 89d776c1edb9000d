#include "RollingFileAppender.h"

#include <algorithm>
#include <mutex>
#include <shared_mutex>

#include "diagnostics/ModuleInfo.h"
#include "diagnostics/Trace.h"
#include "diagnostics/WriteStalls.h"
#include "file/ExceptionFilter.h"
#include "file/SizeAndTimeBasedTriggerPolicy.h"
#include "file/SizeBasedTriggerPolicy.h"
#include "file/TimeBasedTriggerPolicy.h"
#include "host/Level.h"
#include "host/Utility.h"
#include "os/Clock.h"
#include "os/File.h"
#include "os/Path.h"
#include "rolling/FixedWindowRollPolicy.h"
#include "rolling/SizeAndTimeBasedRollPolicy.h"
#include "rolling/TimeBasedRollPolicy.h"

namespace Quorlin {
namespace {

constexpr std::int32_t kBufferCapacity = 8192;
constexpr std::int64_t kRetryTicks = os::kTicksPerSecond;  // rename retries: once a second
constexpr std::int64_t kTicksPerMs = os::kTicksPerSecond / 1000;
// A file that would not open is tried again after 2 ms, then twice as long each time, up to a second.
constexpr std::int64_t kFirstReopenTicks = 2 * kTicksPerMs;
constexpr std::int64_t kLongestReopenTicks = os::kTicksPerSecond;
constexpr std::uint32_t kQuietHousekeepingMs = 1000;

bool Begins(const DString& key, const char* name) { return key.Find(name) == 0; }

DString LoadTimeText() { return Utility::toYMDHMS(ModuleInfo::LoadTime()); }

}  // namespace

RollingFileAppender::RollingFileAppender()
{
    SetTypeName(DString("Appender.RollingFile"));
    m_Losses.SetOwner("RollingFileAppender");
}

RollingFileAppender::~RollingFileAppender()
{
    m_Housekeeping.Stop();
    if (!IsClosed())
        GiveUpHeldEvents();
    WriteStalls::Remove(this);
    // The RollingFileWriter counts into this object: flush and close it now, not from the base.
    if (!IsClosed() && GetWriter() != nullptr)
        GetWriter()->Close();
    if (!IsClosed() && m_RollingPolicy)
        m_RollingPolicy->Settle();
    SetWriter(nullptr);
}

void RollingFileAppender::SetOption(const DString& key, const DString& value)
{
    if (Begins(key, "triggeringPolicy/interval"))
        m_HasInterval = true;
    if (Begins(key, "triggeringPolicy/maxFileSize"))
        m_HasMaxFileSize = true;
    if (Begins(key, "rollingPolicy/maxIndex"))
        m_HasMaxIndex = true;
    if (Begins(key, "fileName/value")) {
        m_TriggerOptions.emplace_back(key, value);
        m_RollingOptions.emplace_back(key, value);
    }

    if (Begins(key, "fileNamePattern/value"))
        m_FileNamePatternValue = value;
    else if (Begins(key, "triggeringPolicy/"))
        m_TriggerOptions.emplace_back(key, value);
    else if (Begins(key, "rollingPolicy/"))
        m_RollingOptions.emplace_back(key, value);
    else if (Begins(key, "idleFlush/value"))
        m_IdleFlushMs = CountOption(key, value);
    else if (Begins(key, "flushLevel/value"))
        m_FlushLevel = LevelOption(key, value, m_FlushLevel);
    else if (Begins(key, "backlogSize/value"))
        m_BacklogBytes = CountOption(key, value);
    else
        FileAppender::SetOption(key, value);  // the file options, then the framework's
}

std::int32_t RollingFileAppender::CountOption(const DString& key, const DString& value) const
{
    const std::int32_t count = value.Int();
    if (count >= 0)
        return count;
    Trace(LevelWarn, "[{$}] {$} : [{$}] is below 0, auto correct to 0", m_InstanceNumber, key, value);
    return 0;
}

std::int32_t RollingFileAppender::LevelOption(const DString& key, const DString& value, std::int32_t current) const
{
    std::int32_t level = current;
    if (ParseLevel(value.StdView(), level))
        return level;
    Trace(LevelError, "[{$}] {$} : [{$}] is no level, keeping {$}", m_InstanceNumber, key, value, current);
    return current;
}

void RollingFileAppender::ActivateOptions()
{
    Trace(LevelInfo, "Enter RollingFileAppender::ActivateOptions");
    m_FileNameValue.Replace("{MDC", "{GlobalMap");
    m_FileNamePatternValue.Replace("{MDC", "{GlobalMap");

    // Rolling by size needs a number in the history names: app.log -> app.{RollingIndex}.log; without a
    // pattern the history sits beside the active file, named after it.
    if (m_HasMaxFileSize && m_FileNamePatternValue.Find("{RollingIndex}") < 0) {
        os::PathParts parts;
        const DString base = m_FileNamePatternValue.IsEmpty() ? m_FileNameValue : m_FileNamePatternValue;
        const WString wide(base);
        if (os::SplitPath(wide.StdView(), parts, 260).Ok()) {
            const WString corrected = WString((parts.drive + parts.directory + parts.name).c_str()) +
                                      WString(L".{RollingIndex}") + WString(parts.extension.c_str());
            m_FileNamePatternValue = corrected.ToDString();
        } else {
            m_FileNamePatternValue = base;
            m_FileNamePatternValue.Append(".{RollingIndex}");
        }
        Trace(LevelError, "RollingFileAppender, bad FileNamePattern, auto correct to [{$}]", m_FileNamePatternValue);
    }
    // Added last, so that it overrides any pattern key given to the policies before.
    m_TriggerOptions.emplace_back(DString("/fileNamePattern/value"), m_FileNamePatternValue);
    m_RollingOptions.emplace_back(DString("/fileNamePattern/value"), m_FileNamePatternValue);

    std::unique_ptr<TriggeringPolicy> trigger;
    if (m_HasMaxFileSize && m_HasInterval)
        trigger = std::make_unique<SizeAndTimeBasedTriggerPolicy>();
    else if (m_HasMaxFileSize)
        trigger = std::make_unique<SizeBasedTriggerPolicy>();
    else
        trigger = std::make_unique<TimeBasedTriggerPolicy>();
    for (const auto& [key, value] : m_TriggerOptions)
        trigger->SetOption(key, value);
    trigger->ActivateOptions();
    m_TriggeringPolicy = std::move(trigger);

    std::unique_ptr<RollingPolicy> rolling;
    if (m_HasMaxIndex)
        rolling = std::make_unique<FixedWindowRollPolicy>();
    else if (m_HasMaxFileSize)
        rolling = std::make_unique<SizeAndTimeBasedRollPolicy>();
    else
        rolling = std::make_unique<TimeBasedRollPolicy>();
    for (const auto& [key, value] : m_RollingOptions)
        rolling->SetOption(key, value);
    rolling->ActivateOptions();
    m_RollingPolicy = std::move(rolling);

    m_FullFileName = Utility::PatternToFileName(m_FileNameValue.c_str());
}

void RollingFileAppender::CreateWriter(std::unique_ptr<Writer>& writer)
{
    writer.reset();
    auto file = std::make_unique<RollingFileWriter>(static_cast<WrittenBytesCounter*>(this));
    file->SetAppend(m_AppendToFile || m_ForceAppend);
    file->SetEndTornLine(m_EnableNewLine);
    if (!file->Open(WString(m_FullFileName))) {
        m_LastOpenError = file->LastOpenError();
        return;
    }
    m_File = file.get();
    auto batch = std::make_unique<BufferedWriter>(std::move(file), kBufferCapacity, static_cast<BatchObserver*>(this));
    m_Batch = batch.get();
    writer = std::move(batch);
}

bool RollingFileAppender::BatchWritten(std::uint32_t events, const char* first, std::int32_t firstLength, const char* second,
                                       std::int32_t secondLength)
{
    if (m_File->LastWriteFailed()) {
        const std::int64_t size = static_cast<std::int64_t>(m_FailedText.GetLength()) + std::max(0, firstLength) +
                                  (second != nullptr ? std::max(0, secondLength) : 0);
        if (events > 0 && size <= m_BacklogBytes) {
            m_FailedText.Append(first, firstLength);
            if (second != nullptr)
                m_FailedText.Append(second, secondLength);
            m_FailedEvents += events;
        } else {
            m_Losses.Lost(events, m_FullFileName);
        }
        m_HoldRequested.store(true);
        return true;  // nothing may overtake this batch: what follows waits in the buffer
    }
    if (!m_Losses.Pending())
        return false;
    // Straight to the file: this runs inside the batch's flush.
    std::uint64_t count = 0;
    const DString note = m_Losses.Note(m_FullFileName, count);
    m_File->Write(0, note.c_str(), note.GetLength(), nullptr, 0);
    if (!m_File->LastWriteFailed())
        m_Losses.Noted(count, m_FullFileName);
    return false;
}

void RollingFileAppender::HoldAfterFailedWrite()
{
    std::unique_lock<os::RwLock> lock(m_RollLock);
    if (!m_HoldRequested.load() || m_WriterBroken.load())
        return;
    // What came after the failed batch follows it, as far as the backlog takes it.
    const std::uint64_t before = m_FailedEvents;
    const std::int32_t length = m_FailedText.GetLength();
    m_Batch->TakeHeld(m_FailedText, m_FailedEvents);
    if (m_FailedText.GetLength() > m_BacklogBytes) {
        m_Losses.Lost(m_FailedEvents - before, m_FullFileName);
        m_FailedText = m_FailedText.Left(length);
        m_FailedEvents = before;
    }
    GetWriter()->Close();  // halted: closes the file only
    m_HoldRequested.store(false);
    Trace(LevelError, "[{$}] RollingFileAppender, cannot write to [{$}]; events wait until it can be written", m_InstanceNumber,
          m_FullFileName);
    HoldEvents(kFirstReopenTicks);
    m_HoldForWrite = true;
    m_Backlog->Preload(m_FailedText, m_FailedEvents);
    m_FailedText.Clear();
    m_FailedEvents = 0;
}

bool RollingFileAppender::Open()
{
    m_Housekeeping.Stop();
    const bool opened = FileAppender::Open();
    // An appended file already holds bytes: the size limit counts them too.
    m_FileSize.store(opened && m_AppendToFile ? CurrentFileSize() : 0);
    m_WriterBroken.store(false);
    m_Backlog = nullptr;
    if (opened)
        m_Housekeeping.Start([this] { return Housekeeping(); }, kQuietHousekeepingMs / 2);
    return opened;
}

void RollingFileAppender::Close()
{
    m_Housekeeping.Stop();
    if (m_HoldRequested.load())
        HoldAfterFailedWrite();
    if (m_WriterBroken.load()) {
        std::unique_lock<os::RwLock> lock(m_RollLock);
        if (!Reopen())
            GiveUpHeldEvents();  // kept until now, and the file never took them
    }
    FileAppender::Close();
    // Every file rolled is in its history when Close returns, unless a hung gzip holds it up (its
    // compression may still run).
    if (m_RollingPolicy)
        m_RollingPolicy->Settle();
    // A last batch that failed in the Close itself has no attempt left.
    m_Losses.Lost(std::exchange(m_FailedEvents, 0), m_FullFileName);
    m_FailedText.Clear();
    m_HoldRequested.store(false);
    m_Losses.Settle();
}

void RollingFileAppender::GiveUpHeldEvents()
{
    if (m_Backlog != nullptr)
        m_Losses.Lost(m_Backlog->Events(), m_FullFileName);
    if (std::exchange(m_Stalled, false))
        WriteStalls::End();
}

std::uint32_t RollingFileAppender::Housekeeping()
{
    if (m_HoldRequested.load())
        HoldAfterFailedWrite();
    if (m_WriterBroken.load()) {
        RetryWhenDue();
        const std::int64_t wait = m_NextReopenTicks.load() - os::NowTicks();
        return static_cast<std::uint32_t>(std::clamp<std::int64_t>(wait / kTicksPerMs, 1, kQuietHousekeepingMs));
    }
    if (m_IdleFlushMs <= 0)
        return kQuietHousekeepingMs;
    {
        std::shared_lock<os::RwLock> lock(m_RollLock);
        if (m_Batch != nullptr)
            m_Batch->FlushIfIdle(m_SeenWrites);
    }
    // Checked twice per idle time: a batch waits at most that long after its last event.
    return static_cast<std::uint32_t>(std::max(1, m_IdleFlushMs / 2));
}

std::uint64_t RollingFileAppender::CurrentFileSize() const
{
    os::NativeFile file = os::kInvalidFile;
    std::uint64_t size = 0;
    if (!os::OpenFile(m_FullFileName.StdView(), os::Access::ReadControl, os::Disposition::OpenExisting,
                      os::ShareRead | os::ShareWrite, file)
             .Ok())
        return 0;
    if (!os::FileSizeOf(file, size).Ok())
        size = 0;
    os::CloseFile(file);
    return size;
}

void RollingFileAppender::Append(const LoggingEvent* event)
{
    {
        std::shared_lock<os::RwLock> lock(m_RollLock);
        if (m_Batch == nullptr) {
            WriterAppender::Append(event);
        } else if (!Refuses(event)) {
            // The text and its line end in one call: the batch's own lock keeps them together.
            DString heap;
            const std::string_view text = RenderedText(event, heap);
            const bool lineEnd = m_EnableNewLine && m_Threshold <= event->m_Level;
            m_Batch->Write(event->m_Level, text.data(), static_cast<std::int32_t>(text.size()), lineEnd ? "\r\n" : nullptr,
                           lineEnd ? 2 : 0);
        }
        if (event->m_Level >= m_FlushLevel && m_Batch != nullptr)
            m_Batch->Flush();
    }
    if (m_HoldRequested.load(std::memory_order_relaxed))
        HoldAfterFailedWrite();
    if (m_WriterBroken.load(std::memory_order_relaxed)) {
        RetryWhenDue();
        return;
    }
    if (!m_TriggeringPolicy || !m_TriggeringPolicy->IsTriggered(this, event, m_FileSize.load(std::memory_order_relaxed)))
        return;
    if (os::NowTicks() < m_NextRollTicks.load(std::memory_order_relaxed))
        return;  // a rename failed moments ago: the next attempt waits a little
    std::unique_lock<os::RwLock> lock(m_RollLock);
    // Another thread may have rolled meanwhile (size reset, or schedule advanced).
    if (!m_TriggeringPolicy->IsTriggered(this, event, m_FileSize.load(std::memory_order_relaxed)))
        return;
    m_TriggeringPolicy->AdvanceSchedule(GetWriter());
    if (!RunGuardedRollover(m_Name, &RolloverStep, this)) {
        // The roll-over stopped half way, perhaps with the file closed: reopen it (appending) at once
        // rather than lose what follows.
        if (m_RollingPolicy)
            m_RollingPolicy->Abandoned();
        if (Writer* writer = GetWriter())
            writer->Close();
        HoldEvents(0);
    }
}

void RollingFileAppender::RolloverStep(void* appender) { static_cast<RollingFileAppender*>(appender)->Rollover(); }

bool RollingFileAppender::Rollover()
{
    if (!m_RollingPolicy)
        return false;
    std::unique_ptr<RolloverDescription> description = m_RollingPolicy->Rollover(m_FullFileName);
    if (!description)
        return false;

    CloseWithTrailer();
    if (GetWriter() != nullptr)
        GetWriter()->Close();
    bool ok = true;
    if (description->synchronous)
        ok = description->synchronous->Execute();
    if (!ok) {
        // The file keeps its old content under its own name: never truncate it, and try again later.
        if (m_FailedRenames++ == 0)
            Trace(LevelError, "[{$}] RollingFileAppender, cannot move [{$}] into its history; logging goes on into it",
                  m_InstanceNumber, m_FullFileName);
        m_NextRollTicks.store(os::NowTicks() + kRetryTicks);
    } else if (m_FailedRenames > 0) {
        Trace(LevelError, "[{$}] RollingFileAppender, [{$}] moved into its history after {$} failed attempts", m_InstanceNumber,
              m_FullFileName, m_FailedRenames);
        m_FailedRenames = 0;
    }

    m_FullFileName = Utility::PatternToFileName(m_FileNameValue.c_str());
    m_ForceAppend = !ok;
    std::unique_ptr<Writer> writer;
    CreateWriter(writer);
    m_ForceAppend = false;
    const bool appending = m_AppendToFile || !ok;
    m_FileSize.store(appending ? CurrentFileSize() : 0);
    // The history file is complete whether or not the next file opens: compress it.
    if (ok && description->asynchronous)
        m_Compressions.Launch(description->asynchronous);
    if (!writer) {
        // Keep nothing pointed at the closed file: events wait in memory until the file opens again.
        HoldEvents(kFirstReopenTicks);
        Trace(LevelError, "[{$}] RollingFileAppender, cannot open [{$}] : {$}; events wait until it opens", m_InstanceNumber,
              m_FullFileName, m_LastOpenError);
        return true;
    }
    SetWriter(std::move(writer));
    WriteHeader();
    WriteStartBanner();
    return true;
}

void RollingFileAppender::CloseWithTrailer()
{
    Writer* writer = GetWriter();
    if (writer == nullptr)
        return;
    const DString started = Format("\r\n-- (Quorlin) Started at {$}", LoadTimeText());
    writer->Write(0, started.c_str(), started.GetLength(), nullptr, 0);
    const DString next = Format("\r\n-- (Quorlin) New FileName : [{$}]\r\n\r\n",
                                Utility::PatternToFileName(m_FileNameValue.c_str()));
    writer->Write(0, next.c_str(), next.GetLength(), nullptr, 0);
    WriteFooter();
    writer->Close();
}

void RollingFileAppender::WriteStartBanner()
{
    if (Writer* writer = GetWriter()) {
        const DString banner = Format("\r\n-- (Quorlin) Started at {$}\r\n\r\n", LoadTimeText());
        writer->Write(0, banner.c_str(), banner.GetLength(), nullptr, 0);
    }
}

void RollingFileAppender::HoldEvents(std::int64_t firstRetryTicks)
{
    auto backlog = std::make_unique<BacklogWriter>(m_BacklogBytes, m_Losses, m_FullFileName);
    m_Backlog = backlog.get();
    m_File = nullptr;
    m_Batch = nullptr;
    SetWriter(std::move(backlog));
    m_ReopenDelayTicks = kFirstReopenTicks;
    m_NextReopenTicks.store(os::NowTicks() + firstRetryTicks);
    m_WriterBroken.store(true);
    m_HoldForWrite = false;
    if (!std::exchange(m_Stalled, true))
        WriteStalls::Begin();
}

void RollingFileAppender::RetryWhenDue()
{
    const std::int64_t now = os::NowTicks();
    if (now < m_NextReopenTicks.load(std::memory_order_relaxed))
        return;
    std::unique_lock<os::RwLock> lock(m_RollLock);
    if (!m_WriterBroken.load() || now < m_NextReopenTicks.load())
        return;
    if (Reopen())
        return;
    m_NextReopenTicks.store(now + m_ReopenDelayTicks);
    m_ReopenDelayTicks = std::min(2 * m_ReopenDelayTicks, kLongestReopenTicks);
}

bool RollingFileAppender::Reopen()
{
    m_ForceAppend = true;  // whatever reached the file before must stay
    std::unique_ptr<Writer> writer;
    CreateWriter(writer);
    m_ForceAppend = false;
    RollingFileWriter* file = m_File;
    m_File = nullptr;
    m_Batch = nullptr;
    if (!writer)
        return false;
    // Straight to the file, in the order a reader expects: the header and banner, the events that
    // waited, then the note of those that did not fit. If any of it fails the backlog stays whole.
    const DString banner = Format("\r\n-- (Quorlin) Started at {$}\r\n\r\n", LoadTimeText());
    const DString& held = m_Backlog->Text();
    std::uint64_t count = 0;
    const DString note = m_HoldForWrite ? m_Losses.Note(m_FullFileName, count) : m_Losses.OpenNote(m_FullFileName, count);
    bool written = true;
    for (const DString* text : {static_cast<const DString*>(&m_Header), &banner, &held, &note}) {
        if (written && !text->IsEmpty()) {
            file->Write(0, text->c_str(), text->GetLength(), nullptr, 0);
            written = !file->LastWriteFailed();
        }
    }
    if (!written)
        return false;  // the writer goes, closing the file
    const std::uint64_t heldEvents = m_Backlog->Events();
    m_File = file;
    m_Batch = static_cast<BufferedWriter*>(writer.get());
    SetWriter(std::move(writer));
    m_Backlog = nullptr;
    m_FileSize.store(CurrentFileSize());
    m_WriterBroken.store(false);
    if (std::exchange(m_Stalled, false))
        WriteStalls::End();
    m_Losses.Noted(count, m_FullFileName, !m_HoldForWrite);
    if (m_HoldForWrite)
        Trace(LevelError, "[{$}] RollingFileAppender, [{$}] can be written again; the {$} events that waited are in it",
              m_InstanceNumber, m_FullFileName, heldEvents);
    m_HoldForWrite = false;
    return true;
}

}  // namespace Quorlin
