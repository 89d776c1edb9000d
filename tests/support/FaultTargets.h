#pragma once
// Steps that fault for real. Out of line and fed by volatile reads, so that the compiler sees no
// null pointer and no zero divisor; uninstrumented, so that the sanitizers let the processor fault.

namespace QuorlinTest {

void WriteThroughNull(void*);
void DivideByZero(void*);

// Allocations made while it lives are not reported as leaks (LeakSanitizer builds only): for steps
// that fault on purpose and abandon what their frames held.
class ScopedLeakCheckOff {
public:
    ScopedLeakCheckOff();
    ~ScopedLeakCheckOff();
    ScopedLeakCheckOff(const ScopedLeakCheckOff&) = delete;
    ScopedLeakCheckOff& operator=(const ScopedLeakCheckOff&) = delete;
};

}  // namespace QuorlinTest
