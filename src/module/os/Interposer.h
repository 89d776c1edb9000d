#pragma once
// Test seam: while an Interposer is installed, the calls listed in InterposedCalls.h reach it instead of
// the system. Its defaults call the system, so a fake overrides only what it records or breaks.

#include <cstdint>
#include <string_view>

#include "Console.h"
#include "Directory.h"
#include "File.h"
#include "Process.h"
#include "SystemLog.h"

namespace Quorlin::os {

class Interposer {
public:
    virtual ~Interposer() = default;

#define QUORLIN_INTERPOSED(Result, Name, Parameters, Arguments, Exceptions) virtual Result Name Parameters;
#include "InterposedCalls.h"
#undef QUORLIN_INTERPOSED
};

// Installs `fake` for the whole process (null restores the system) and returns the one it replaces.
Interposer* Interpose(Interposer* fake) noexcept;

// Installs a fake for the lifetime of a scope.
class ScopedInterposer {
public:
    explicit ScopedInterposer(Interposer& fake) noexcept : m_Previous(Interpose(&fake)) {}
    ~ScopedInterposer() { Interpose(m_Previous); }
    ScopedInterposer(const ScopedInterposer&) = delete;
    ScopedInterposer& operator=(const ScopedInterposer&) = delete;

private:
    Interposer* m_Previous;
};

}  // namespace Quorlin::os
