#pragma once
// Whether any appender of the module cannot write at the moment (a full disk, a file that will not
// open), so that a host feeding it can hold its input back instead of having events dropped. Each
// spell of an appender counts once; a probe registered by an appender is asked to try again while a
// host waits.

#include <cstdint>

namespace Quorlin::WriteStalls {

class Probe {
public:
    // Tries to write again (what is pending, or a note); called while a host waits.
    virtual void TryAgain() = 0;

protected:
    ~Probe() = default;
};

// A spell of one appender begins or ends.
void Begin() noexcept;
void End() noexcept;
// Whether a spell is under way anywhere in the module: one atomic load.
bool Any() noexcept;

// Probes are registered while their appender is open; Remove waits for a TryAgain under way.
void Add(Probe* probe);
void Remove(Probe* probe);

// Waits up to `milliseconds` until no spell is under way, asking the probes to try again every few
// milliseconds; true when none is.
bool WaitUntilClear(std::uint32_t milliseconds);

}  // namespace Quorlin::WriteStalls
