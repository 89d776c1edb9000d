#include "DiskSpool.h"

#include <algorithm>
#include <cstdio>

#include "diagnostics/Trace.h"
#include "os/Directory.h"
#include "os/File.h"
#include "os/Path.h"
#include "rolling/DirectoryHelpers.h"
#include "utility/StringOps.h"

namespace Quorlin {
namespace {

constexpr std::uint64_t kSmallestSegment = 64 * 1024;
constexpr std::uint64_t kLargestSegment = 4u << 20;
constexpr std::size_t kNumberDigits = 16;
constexpr const wchar_t* kSuffix = L".spool";
constexpr const wchar_t* kPartSuffix = L".spool.part";  // kSuffix + ".part"

std::string Utf8(const std::wstring& text) { return ORBEK::Utility::WideToUtf8(ORBEK::Utility::WStringView(text.c_str())); }

bool EndsWith(const std::wstring& text, const std::wstring& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// "NAME.0000000000000042.spool" -> 42, for this appender's name; 0 for anything else.
std::uint64_t NumberOf(const std::wstring& file, const std::wstring& name, const std::wstring& suffix)
{
    if (file.size() != name.size() + 1 + kNumberDigits + suffix.size() || file.compare(0, name.size(), name) != 0 ||
        file[name.size()] != L'.' || !EndsWith(file, suffix))
        return 0;
    std::uint64_t number = 0;
    for (std::size_t i = name.size() + 1; i < name.size() + 1 + kNumberDigits; ++i) {
        if (file[i] < L'0' || file[i] > L'9')
            return 0;
        number = number * 10 + static_cast<std::uint64_t>(file[i] - L'0');
    }
    return number;
}

bool ReadWhole(const std::wstring& path, std::string& content)
{
    os::NativeFile file = os::kInvalidFile;
    if (!os::OpenFile(path, os::Access::Read, os::Disposition::OpenExisting, os::ShareRead | os::ShareDelete, file))
        return false;
    content.clear();
    char buffer[65536];
    std::uint32_t got = 0;
    bool ok;
    while ((ok = os::ReadFromFile(file, buffer, sizeof buffer, got).Ok()) && got > 0)
        content.append(buffer, got);
    os::CloseFile(file);
    return ok;
}

bool WriteWhole(os::NativeFile file, const std::string& bytes)
{
    std::uint32_t written = 0;
    return os::WriteToFile(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()), written).Ok();
}

void AppendFrame(std::string& out, std::string_view record)
{
    char length[24];
    const int n = std::snprintf(length, sizeof length, "%zu ", record.size());
    out.append(length, static_cast<std::size_t>(n));
    out.append(record);
    out += '\n';
}

}  // namespace

DiskSpool::DiskSpool(std::wstring directory, std::wstring name, std::uint64_t limit, std::int32_t instance)
    : m_Directory(std::move(directory)), m_Name(std::move(name)), m_Limit(limit),
      m_SegmentLimit(std::clamp<std::uint64_t>(limit / 8, kSmallestSegment, kLargestSegment)), m_Instance(instance)
{
    if (!m_Directory.empty() && !os::IsPathSeparator(m_Directory.back()))
        m_Directory += os::PathSeparator();
}

DiskSpool::~DiskSpool() { CloseWriting(); }

std::wstring DiskSpool::PathOf(std::uint64_t number) const
{
    wchar_t digits[kNumberDigits + 1];
    std::swprintf(digits, kNumberDigits + 1, L"%016llu", static_cast<unsigned long long>(number));
    return m_Directory + m_Name + L"." + digits + kSuffix;
}

bool DiskSpool::Open(std::string& error)
{
    ORBEK::Utility::File::CreateDir(WString(m_Directory.c_str()), WString());
    std::vector<std::wstring> names;
    const os::Status listed = os::ListDirectory(m_Directory, names);
    if (!listed) {
        error = "cannot read the spool directory [" + Utf8(m_Directory) + "]: " + os::ErrorText(listed.native);
        return false;
    }
    // A segment rewritten at a stop is written beside it first: the rewrite ends with the rename.
    for (const std::wstring& name : names) {
        if (const std::uint64_t number = NumberOf(name, m_Name, kPartSuffix)) {
            const std::wstring part = m_Directory + name;
            if (os::PathExists(PathOf(number)))
                os::RemoveFile(part);
            else
                os::RenameFile(part, PathOf(number));
        }
    }
    names.clear();
    os::ListDirectory(m_Directory, names);
    m_Segments.clear();
    m_Bytes = 0;
    for (const std::wstring& name : names) {
        const std::uint64_t number = NumberOf(name, m_Name, kSuffix);
        if (number == 0)
            continue;
        os::NativeFile file = os::kInvalidFile;
        std::uint64_t size = 0;
        if (os::OpenFile(m_Directory + name, os::Access::ReadControl, os::Disposition::OpenExisting,
                         os::ShareRead | os::ShareWrite | os::ShareDelete, file)) {
            os::FileSizeOf(file, size);
            os::CloseFile(file);
        }
        m_Segments.push_back({number, size});
        m_Bytes += size;
    }
    std::sort(m_Segments.begin(), m_Segments.end(), [](const Segment& a, const Segment& b) { return a.number < b.number; });
    m_NextNumber = m_Segments.empty() ? 1 : m_Segments.back().number + 1;
    if (!m_Segments.empty())
        Trace(LevelInfo, "[{$}] SyslogAppender, [{$}] holds {$} bytes of events from an earlier run; they go first",
              m_Instance, Utf8(m_Directory).c_str(), m_Bytes);
    return true;
}

void DiskSpool::CloseWriting()
{
    os::CloseFile(m_Writing);
    m_Writing = os::kInvalidFile;
}

bool DiskSpool::StartSegment()
{
    CloseWriting();
    const std::uint64_t number = m_NextNumber++;
    os::NativeFile file = os::kInvalidFile;
    const os::Status opened = os::OpenFile(PathOf(number), os::Access::Write, os::Disposition::CreateAlways, os::ShareRead, file);
    if (!opened) {
        if (!m_WriteFailed)
            Trace(LevelError, "[{$}] SyslogAppender, cannot create [{$}]: {$}", m_Instance, Utf8(PathOf(number)).c_str(),
                  os::ErrorText(opened.native).c_str());
        m_WriteFailed = true;
        return false;
    }
    m_Writing = file;
    m_Segments.push_back({number, 0});
    return true;
}

bool DiskSpool::Flush(std::string& chunk)
{
    if (chunk.empty())
        return true;
    Segment& segment = m_Segments.back();
    if (!WriteWhole(m_Writing, chunk)) {
        if (!m_WriteFailed)
            Trace(LevelError, "[{$}] SyslogAppender, cannot write to [{$}]; events stay in memory", m_Instance,
                  Utf8(PathOf(segment.number)).c_str());
        m_WriteFailed = true;
        CloseWriting();
        chunk.clear();
        return false;
    }
    m_WriteFailed = false;
    segment.bytes += chunk.size();
    m_Bytes += chunk.size();
    chunk.clear();
    return true;
}

std::size_t DiskSpool::Write(const RecordBatch& batch)
{
    std::size_t written = 0;  // records whose frames reached the file
    std::size_t pending = 0;  // records whose frames wait in `chunk`
    std::string chunk;
    for (std::size_t i = 0; i < batch.Count(); ++i) {
        const std::string_view record = batch.Record(i);
        const std::size_t before = chunk.size();
        AppendFrame(chunk, record);
        if (m_Bytes + chunk.size() > m_Limit) {
            chunk.resize(before);
            break;  // full
        }
        // A record longer than a segment still gets one of its own.
        const bool segmentFull = m_Writing != os::kInvalidFile && (m_Segments.back().bytes > 0 || before > 0) &&
                                 m_Segments.back().bytes + chunk.size() > m_SegmentLimit;
        if (m_Writing == os::kInvalidFile || segmentFull) {
            chunk.resize(before);
            if (m_Writing != os::kInvalidFile && !Flush(chunk))
                return written;
            written += pending;
            pending = 0;
            if (!StartSegment())
                return written;
            AppendFrame(chunk, record);
        }
        ++pending;
    }
    if (Flush(chunk))
        written += pending;
    return written;
}

bool DiskSpool::LoadOldest()
{
    while (!m_Segments.empty()) {
        const Segment& oldest = m_Segments.front();
        if (m_Segments.size() == 1 && m_Writing != os::kInvalidFile)
            CloseWriting();
        const std::wstring path = PathOf(oldest.number);
        m_Frames.clear();
        m_NextFrame = 0;
        m_DeliveredFrames = 0;
        if (!ReadWhole(path, m_Loaded)) {
            Trace(LevelError, "[{$}] SyslogAppender, cannot read [{$}]; its events are skipped", m_Instance, Utf8(path).c_str());
            DropLoaded();
            continue;
        }
        std::size_t at = 0;
        while (at < m_Loaded.size()) {
            const std::size_t space = m_Loaded.find(' ', at);
            if (space == std::string::npos || space == at || space - at > 10 ||
                m_Loaded.find_first_not_of("0123456789", at) != space)
                break;
            const std::size_t length = std::stoul(m_Loaded.substr(at, space - at));
            if (m_Loaded.size() - space - 1 < length + 1 || m_Loaded[space + 1 + length] != '\n')
                break;
            m_Frames.emplace_back(space + 1, length);
            at = space + 2 + length;
        }
        if (at < m_Loaded.size())
            Trace(LevelError, "[{$}] SyslogAppender, [{$}] ends in {$} bytes that are no whole record (a write cut short); they are dropped",
                  m_Instance, Utf8(path).c_str(), m_Loaded.size() - at);
        m_LoadedValid = true;
        if (!m_Frames.empty())
            return true;
        DropLoaded();
    }
    return false;
}

void DiskSpool::DropLoaded()
{
    if (m_Segments.empty())
        return;
    os::RemoveFile(PathOf(m_Segments.front().number));
    m_Bytes -= std::min(m_Bytes, m_Segments.front().bytes);
    m_Segments.erase(m_Segments.begin());
    m_Loaded.clear();
    m_Frames.clear();
    m_LoadedValid = false;
}

std::size_t DiskSpool::Read(RecordBatch& batch, std::size_t maxBytes)
{
    if (!m_LoadedValid && !LoadOldest())
        return 0;
    std::size_t moved = 0;
    std::size_t bytes = 0;
    while (m_NextFrame < m_Frames.size()) {
        const auto [start, length] = m_Frames[m_NextFrame];
        if (moved > 0 && bytes + length > maxBytes)
            break;
        batch.Add(std::string_view(m_Loaded.data() + start, length));
        ++m_NextFrame;
        ++moved;
        bytes += length;
    }
    return moved;
}

void DiskSpool::Delivered(std::size_t count)
{
    if (!m_LoadedValid)
        return;
    m_DeliveredFrames = std::min(m_DeliveredFrames + count, m_NextFrame);
    if (m_DeliveredFrames == m_Frames.size())
        DropLoaded();
}

void DiskSpool::Keep()
{
    CloseWriting();
    if (!m_LoadedValid || m_DeliveredFrames == 0) {
        m_LoadedValid = false;
        return;
    }
    // app.0042.spool keeps only what was not delivered: written to app.0042.spool.part, then renamed.
    std::string rest;
    for (std::size_t i = m_DeliveredFrames; i < m_Frames.size(); ++i)
        AppendFrame(rest, std::string_view(m_Loaded.data() + m_Frames[i].first, m_Frames[i].second));
    Segment& segment = m_Segments.front();
    const std::wstring path = PathOf(segment.number);
    const std::wstring part = path + L".part";
    os::NativeFile file = os::kInvalidFile;
    if (os::OpenFile(part, os::Access::Write, os::Disposition::CreateAlways, os::ShareNone, file) && WriteWhole(file, rest)) {
        os::CloseFile(file);
        if (os::RemoveFile(path) && os::RenameFile(part, path)) {
            m_Bytes -= std::min(m_Bytes, segment.bytes - rest.size());
            segment.bytes = rest.size();
        }
    } else {
        os::CloseFile(file);
        os::RemoveFile(part);
    }
    m_Loaded.clear();
    m_Frames.clear();
    m_LoadedValid = false;
}

}  // namespace Quorlin
