#pragma once
// The guard around a roll-over: a machine fault or an exception inside it is named in the
// diagnostics, announced with a beep and reported to the event log; the caller goes on.

#include <cstdint>

#include "utility/DString.h"

namespace Quorlin {

// The name of a Windows exception code ("exception_access_violation"), or null for codes it does not know.
const char* ExceptionName(std::uint32_t code) noexcept;

// Names the fault in the diagnostics and beeps (1000 Hz, 1 s); returns 1: run the guard's handler.
int ExceptionFilter(std::uint32_t code) noexcept;

// The guard's handler: a warning event 10000 under the appender's name, and the diagnostic.
void ReportRolloverException(const ORBEK::Utility::DString& appenderName) noexcept;

// Runs step(context) inside the guard; whatever it raises is filtered and reported, never passed on.
// True when the step finished normally.
bool RunGuardedRollover(const ORBEK::Utility::DString& appenderName, void (*step)(void*), void* context) noexcept;

}  // namespace Quorlin
