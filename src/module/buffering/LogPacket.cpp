#include "LogPacket.h"

namespace Quorlin {

LogPacket::LogPacket(const LoggingEvent& event) { Refill(event); }

void LogPacket::Refill(const LoggingEvent& event)
{
    m_Text = ORBEK::Utility::DString::View(event.m_Message, event.m_MessageLength);
    m_LoggerName = event.m_LoggerName;
    m_Message = m_Text.c_str();
    m_MessageLength = m_Text.GetLength();
    m_Level = event.m_Level;
    m_ThreadId = event.m_ThreadId;
    m_TimeStamp = event.m_TimeStamp;
    m_SequenceNumber = event.m_SequenceNumber;
    m_Layout = event.m_Layout;
    m_ContextSlot = 0;  // the framework's per-thread bookkeeping means nothing in another thread
    m_UserData = event.m_UserData;
}

}  // namespace Quorlin
