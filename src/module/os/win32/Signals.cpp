#include "../Signals.h"

#include <atomic>

#include "Win32.h"

namespace Quorlin::os {
namespace {

std::atomic<StopHandler> g_StopHandler{nullptr};
HANDLE g_Handled = nullptr;  // manual-reset event, set by StopRequestHandled

// The system ends the process 5 s after a close, logoff or shutdown event by default; stay under it.
constexpr DWORD kHandledWaitMilliseconds = 4000;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    const bool ending = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    if (!ending && event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    if (StopHandler handler = g_StopHandler.load())
        handler(static_cast<int>(event));
    // For these the process is ended as soon as the handler returns: wait until the appenders are closed.
    if (ending && g_Handled != nullptr)
        ::WaitForSingleObject(g_Handled, kHandledWaitMilliseconds);
    return TRUE;
}

}  // namespace

void HandleStopRequests(StopHandler handler)
{
    g_StopHandler.store(handler);
    if (g_Handled == nullptr)
        g_Handled = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
}

void StopRequestHandled()
{
    if (g_Handled != nullptr)
        ::SetEvent(g_Handled);
}

void IgnoreFileSizeLimitSignal() {}

}  // namespace Quorlin::os
