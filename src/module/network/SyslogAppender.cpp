#include "SyslogAppender.h"

#include "diagnostics/Trace.h"
#include "file/ByteSize.h"
#include "host/ThreadContext.h"
#include "os/Clock.h"
#include "os/Module.h"
#include "os/Process.h"
#include "os/Socket.h"
#include "utility/StringOps.h"

namespace Quorlin {
namespace {

constexpr std::uint64_t kSmallestQueue = 64 * 1024;
// The longest a logging thread waits for the sender to move a full queue to the spool.
constexpr std::uint32_t kSpillWaitMs = 1000;

struct ProtocolName {
    const char* name;
    SyslogProtocol protocol;
    std::uint16_t port;  // the usual one
};

constexpr ProtocolName kProtocols[] = {
    {"udp", SyslogProtocol::Udp, 514},
    {"tcp", SyslogProtocol::Tcp, 514},
    {"tls", SyslogProtocol::Tls, 6514},
    {"relp", SyslogProtocol::Relp, 2514},
};

const ProtocolName& RowOf(SyslogProtocol protocol)
{
    for (const ProtocolName& row : kProtocols) {
        if (row.protocol == protocol)
            return row;
    }
    return kProtocols[1];
}

std::string Trimmed(const DString& value)
{
    DString copy(value);
    copy.Trim();
    return std::string(copy.StdView());
}

bool SameNoCase(const std::string& text, const char* word)
{
    return ORBEK::Utility::CompareNoCase(ORBEK::Utility::StringView(text.c_str(), static_cast<std::int32_t>(text.size())),
                                         ORBEK::Utility::StringView(word)) == 0;
}

// "/opt/shop/bin/shop-api" or "C:\shop\shop-api.exe" -> "shop-api"
std::string ProgramName()
{
    std::string path = os::ExecutablePath();
    path = path.substr(path.find_last_of("/\\") + 1);
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && dot > 0 && SameNoCase(path.substr(dot), ".exe"))
        path.resize(dot);
    return path;
}

// Numbers of milliseconds: 0 up to a day.
bool ReadMilliseconds(const DString& value, std::uint32_t& out)
{
    const std::int32_t n = value.Int();
    if (n < 0 || n > 86400000)
        return false;
    out = static_cast<std::uint32_t>(n);
    return true;
}

// The appender's name as the start of its spool files' names: letters, digits, '-' and '_'.
std::wstring SpoolName(const DString& name)
{
    std::wstring out;
    for (std::int32_t i = 0; i < name.GetLength(); ++i) {
        const char c = name[i];
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        out += plain ? static_cast<wchar_t>(c) : L'_';
    }
    return out.empty() ? std::wstring(L"syslog") : out;
}

}  // namespace

SyslogAppender::SyslogAppender() { SetTypeName(DString("Appender.Syslog")); }

SyslogAppender::~SyslogAppender()
{
    // An appender destroyed open still delivers, spools or counts what waits.
    if (!IsClosed())
        Close();
    WriteStalls::Remove(this);
    m_Sender.reset();
}

void SyslogAppender::OptionError(const char* option, const DString& value)
{
    Trace(LevelError, "[{$}] SyslogAppender.SetOption, {$} : [{$}] is not valid, the value stays as it was", m_InstanceNumber,
          option, value);
}

void SyslogAppender::SetOption(const DString& key, const DString& value)
{
    const std::string text = Trimmed(value);
    if (key.Find("server/value") == 0) {
        if (text.empty())
            return OptionError("server", value);
        m_Peer.host = text;
    } else if (key.Find("port/value") == 0) {
        const std::int32_t port = value.Int();
        if (port < 1 || port > 65535)
            return OptionError("port", value);
        m_Peer.port = static_cast<std::uint16_t>(port);
        m_PortGiven = true;
    } else if (key.Find("protocol/value") == 0) {
        for (const ProtocolName& row : kProtocols) {
            if (SameNoCase(text, row.name)) {
                m_Protocol = row.protocol;
                Trace(LevelInfo, "[{$}] SyslogAppender.SetOption, protocol : {$}", m_InstanceNumber, row.name);
                return;
            }
        }
        return OptionError("protocol", value);
    } else if (key.Find("format/value") == 0) {
        if (SameNoCase(text, "rfc5424") || text == "5424")
            m_Fields.format = SyslogFormat::Rfc5424;
        else if (SameNoCase(text, "rfc3164") || text == "3164")
            m_Fields.format = SyslogFormat::Rfc3164;
        else
            return OptionError("format", value);
    } else if (key.Find("facility/value") == 0) {
        if (!ParseFacility(text, m_Fields.facility))
            return OptionError("facility", value);
    } else if (key.Find("appName/value") == 0) {
        m_Fields.appName = text;
    } else if (key.Find("hostName/value") == 0) {
        m_Fields.hostName = text;
    } else if (key.Find("queueSize/value") == 0) {
        m_QueueSize = ParseByteSize(value);
        if (m_QueueSize < kSmallestQueue || m_QueueSize > (std::uint64_t{1} << 34)) {
            m_QueueSize = m_QueueSize < kSmallestQueue ? kSmallestQueue : (std::uint64_t{1} << 34);
            Trace(LevelError, "[{$}] SyslogAppender.SetOption, queueSize : [{$}] is out of range, auto correct to {$} (bytes)",
                  m_InstanceNumber, value, m_QueueSize);
        }
    } else if (key.Find("closeTimeout/value") == 0) {
        if (!ReadMilliseconds(value, m_CloseTimeoutMs))
            return OptionError("closeTimeout", value);
    } else if (key.Find("connectTimeout/value") == 0) {
        if (!ReadMilliseconds(value, m_Peer.timeoutMs) || m_Peer.timeoutMs == 0)
            return OptionError("connectTimeout", value);
    } else if (key.Find("reconnectDelay/value") == 0) {
        if (!ReadMilliseconds(value, m_ReconnectDelayMs))
            return OptionError("reconnectDelay", value);
    } else if (key.Find("spoolDirectory/value") == 0) {
        m_SpoolDirectory = text;
    } else if (key.Find("spoolSize/value") == 0) {
        m_SpoolSize = ParseByteSize(value);
        if (m_SpoolSize < kSmallestQueue) {
            m_SpoolSize = kSmallestQueue;
            Trace(LevelError, "[{$}] SyslogAppender.SetOption, spoolSize : [{$}] is too small, auto correct to {$} (bytes)",
                  m_InstanceNumber, value, m_SpoolSize);
        }
    } else if (key.Find("caFile/value") == 0) {
        m_Peer.caFile = text;
    } else {
        Appender::SetOption(key, value);
    }
}

void SyslogAppender::ActivateOptions()
{
    const ProtocolName& row = RowOf(m_Protocol);
    if (!m_PortGiven)
        m_Peer.port = row.port;
    const bool old = m_Fields.format == SyslogFormat::Rfc3164;
    // RFC 5424 limits the fields to 255, 48 and 128 characters; RFC 3164's tag to 32.
    m_Fields.hostName = HeaderField(m_Fields.hostName.empty() ? os::HostName() : m_Fields.hostName, 255);
    m_Fields.appName = HeaderField(m_Fields.appName.empty() ? ProgramName() : m_Fields.appName, old ? 32 : 48);
    if (old) {
        for (char& c : m_Fields.appName) {
            if (c == ':' || c == '[' || c == ']')
                c = '_';
        }
    }
    m_Fields.procId = std::to_string(os::CurrentProcessId());
    const bool ipv6 = m_Peer.host.find(':') != std::string::npos;
    m_Target = std::string(row.name) + "://" + (ipv6 ? "[" + m_Peer.host + "]" : m_Peer.host) + ":" +
               std::to_string(m_Peer.port);
    m_TargetText = WString(ORBEK::Utility::Utf8ToWide(ORBEK::Utility::StringView(m_Target.c_str())).c_str());
    Trace(LevelInfo, "[{$}] SyslogAppender.ActivateOptions, [{$}] as [{$}] on [{$}], queue {$} bytes", m_InstanceNumber,
          m_Target.c_str(), m_Fields.appName.c_str(), m_Fields.hostName.c_str(), m_QueueSize);
    Appender::ActivateOptions();
}

bool SyslogAppender::Open()
{
    if (m_Target.empty())
        ActivateOptions();
    if (m_Protocol == SyslogProtocol::Tls && m_Peer.caFile.empty()) {
        Trace(LevelError, "[{$}] SyslogAppender.Open, [{$}]: tls needs caFile/value, the certificates that may sign the collector's",
              m_InstanceNumber, m_Target.c_str());
        return false;
    }
    std::unique_ptr<SyslogTransport> transport = MakeTransport(m_Protocol, m_Peer);
    if (!transport) {
        Trace(LevelError, "[{$}] SyslogAppender.Open, [{$}]: this build cannot speak {$}", m_InstanceNumber, m_Target.c_str(),
              RowOf(m_Protocol).name);
        return false;
    }
    if (m_Sender)
        m_Sender->Stop(0);
    m_Sender.reset();
    m_Queue = std::make_unique<RecordQueue>(static_cast<std::size_t>(m_QueueSize));
    SyslogSender::Settings settings;
    settings.instance = m_InstanceNumber;
    settings.target = m_Target;
    settings.maxDelayMs = m_ReconnectDelayMs;
    std::unique_ptr<DiskSpool> spool;
    if (!m_SpoolDirectory.empty())
        spool = std::make_unique<DiskSpool>(ORBEK::Utility::Utf8ToWide(ORBEK::Utility::StringView(m_SpoolDirectory.c_str())),
                                            SpoolName(GetName()), m_SpoolSize, m_InstanceNumber);
    m_Sender = std::make_unique<SyslogSender>(*m_Queue, std::move(transport), std::move(spool), settings);
    m_Sender->Start();
    WriteStalls::Add(this);
    return Appender::Open();
}

void SyslogAppender::Close()
{
    if (IsClosed())
        return;
    Appender::Close();
    WriteStalls::Remove(this);
    if (m_Sender) {
        const std::size_t left = m_Sender->Stop(m_CloseTimeoutMs);
        if (left > 0) {
            Trace(LevelError, "[{$}] SyslogAppender.Close, [{$}] did not take {$} events within {$} ms{$}", m_InstanceNumber,
                  m_Target.c_str(), left, m_CloseTimeoutMs, m_SpoolDirectory.empty() ? "" : ", and the spool is full");
            m_Losses.Lost(left, m_TargetText);
        }
        Trace(LevelInfo, "[{$}] SyslogAppender.Close, {$} events sent to [{$}]", m_InstanceNumber, m_Sender->Sent(), m_Target.c_str());
    }
    m_Losses.Settle();
    m_Losses.ReportAtClose(m_TargetText);
}

bool SyslogAppender::Push(std::string_view first, std::string_view second)
{
    if (second.empty() ? m_Queue->Push(first) : m_Queue->PushPair(first, second))
        return true;
    // Full memory, and the sender can put it on disk: wait for it rather than drop the event.
    return m_Sender->CanSpill() && m_Queue->PushWaiting(first, second, kSpillWaitMs);
}

bool SyslogAppender::Queue(const std::string& record)
{
    if (!m_Losses.Pending())
        return record.empty() || Push(record, {});
    std::uint64_t count = 0;
    const DString note = m_Losses.Note(m_TargetText, count);
    if (count == 0)
        return record.empty() || Push(record, {});
    thread_local std::string noteRecord;
    noteRecord.clear();
    std::string_view text = note.StdView();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    AppendRecord(noteRecord, m_Fields, LevelError, os::NowTicks(), text);
    const bool queued = Push(noteRecord, record);
    if (queued)
        m_Losses.Noted(count, m_TargetText);
    return queued;
}

void SyslogAppender::Append(const LoggingEvent* event)
{
    if (Refuses(event) || !m_Queue)
        return;
    DString heap;
    const std::string_view text = RenderedText(event, heap);
    thread_local std::string record;
    record.clear();
    AppendRecord(record, m_Fields, event->m_Level, event->m_TimeStamp, text);
    if (!Queue(record))
        m_Losses.Lost(1, m_TargetText);
}

void SyslogAppender::TryAgain()
{
    if (m_Queue && m_Losses.Pending())
        Queue(std::string());
}

}  // namespace Quorlin
