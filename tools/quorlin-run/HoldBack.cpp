#include "HoldBack.h"

namespace QuorlinRun {

void HoldBack::WhileHeldUp(const std::atomic<bool>& stop)
{
    if (m_Wait == nullptr || m_Wait(0))
        return;
    if (m_Note != nullptr && !m_Told.exchange(true))
        std::fprintf(m_Note, "quorlin-run: an appender cannot write; input waits until it can (--drop goes on instead)\n");
    while (!stop.load() && !m_Wait(200)) {
    }
}

}  // namespace QuorlinRun
