#include "WinEventLogAppender.h"

#include "diagnostics/Trace.h"

namespace Quorlin {

WinEventLogAppender::WinEventLogAppender() : m_Source("Quorlin (Default Source)")
{
    SetTypeName(DString("Appender.WindowsEventLog"));
}

WinEventLogAppender::~WinEventLogAppender() = default;

void WinEventLogAppender::SetOption(const DString& key, const DString& value)
{
    if (key.Find("source/value") == 0)
        m_Source = value;
    else if (key.Find("categoryID/value") == 0)
        m_Category = static_cast<std::uint16_t>(value.To<int>() & 0xFFFF);
    else if (key.Find("eventID/value") == 0)
        m_EventId = static_cast<std::uint32_t>(value.To<int>());
    else
        Appender::SetOption(key, value);
}

bool WinEventLogAppender::Open()
{
    m_Handle = std::make_unique<EventSourceHandle>(os::RegisterSource(m_Source.c_str()));
    Appender::Open();
    Trace(LevelInfo, "[{$}] Leave WinEventLogAppender.Open, Source : [{$}]", m_InstanceNumber, m_Source);
    return true;
}

void WinEventLogAppender::Close()
{
    m_Handle.reset();
    Appender::Close();
    Trace(LevelInfo, "[{$}] Leave WinEventLogAppender.Close", m_InstanceNumber);
}

void WinEventLogAppender::Append(const LoggingEvent* event)
{
    if (Refuses(event) || !m_Handle)
        return;
    DString text = Rendering(event);
    if (m_Handle->Get() == nullptr)
        return;
    if (text.GetBuffer() == nullptr) {
        // No text at all: an information report without strings.
        os::ReportToSource(m_Handle->Get(), os::kEventInformation, m_Category, m_EventId, nullptr);
        return;
    }
    const std::uint16_t type = event->m_Level < LevelWarn    ? os::kEventInformation
                               : event->m_Level < LevelError ? os::kEventWarning
                                                             : os::kEventError;
    os::ReportToSource(m_Handle->Get(), type, m_Category, m_EventId, text.c_str());
}

}  // namespace Quorlin
