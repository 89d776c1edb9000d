#include "Diagnostics.h"

#include "host/Level.h"
#include "host/Utility.h"

namespace QuorlinRun {

void LevelFilterSink::Flush(std::int32_t level, const char* text, std::int32_t length)
{
    if (level >= m_MinimumLevel)
        m_Target.Flush(level, text, length);
}

void LevelFilterSink::NewLine()
{
    // A break between groups of progress messages means nothing once those are hidden.
    if (m_MinimumLevel <= Quorlin::LevelInfo)
        m_Target.NewLine();
}

void ShowDiagnostics(DiagnosticsShown shown)
{
    switch (shown) {
    case DiagnosticsShown::None: Quorlin::LogLog::SetSink(nullptr); break;
    case DiagnosticsShown::Problems: {
        static LevelFilterSink problems(*Quorlin::LogLog::StandardErrorSink(), Quorlin::LevelWarn);
        Quorlin::LogLog::SetSink(&problems);
        break;
    }
    case DiagnosticsShown::All:
        Quorlin::LogLog::SetSink(Quorlin::LogLog::StandardErrorSink());
        // The thread pool's own messages too.
        Quorlin::Utility::SetLogOn(true);
        break;
    }
}

}  // namespace QuorlinRun
