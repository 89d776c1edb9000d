#include "WinDebugAppender.h"

#include "diagnostics/Trace.h"
#include "os/Debugger.h"

namespace Quorlin {

WinDebugAppender::WinDebugAppender() { SetTypeName(DString("Appender.WindowsDebug")); }

bool WinDebugAppender::Open()
{
    Appender::Open();
    Trace(LevelInfo, "[{$}] Leave WinDebugAppender.Open", m_InstanceNumber);
    return true;
}

void WinDebugAppender::Close()
{
    Appender::Close();
    Trace(LevelInfo, "[{$}] Leave WinDebugAppender.Close", m_InstanceNumber);
}

void WinDebugAppender::Append(const LoggingEvent* event)
{
    if (Refuses(event))
        return;
    os::DebugOutput(Rendering(event).c_str());
}

}  // namespace Quorlin
