#pragma once
// Which of the framework's diagnostics quorlin-run shows on standard error.

#include <cstdint>

#include "host/LogLog.h"

namespace QuorlinRun {

// Passes on the diagnostics from a level up to another sink; group breaks only when every level is shown.
class LevelFilterSink final : public Quorlin::LogSink {
public:
    LevelFilterSink(Quorlin::LogSink& target, std::int32_t minimumLevel) : m_Target(target), m_MinimumLevel(minimumLevel) {}
    void Flush(std::int32_t level, const char* text, std::int32_t length) override;
    void NewLine() override;

private:
    Quorlin::LogSink& m_Target;
    std::int32_t m_MinimumLevel;
};

enum class DiagnosticsShown { None, Problems, All };

// Installs the framework's diagnostics sink: none, warnings and errors (LevelWarn and above), or all.
void ShowDiagnostics(DiagnosticsShown shown);

}  // namespace QuorlinRun
