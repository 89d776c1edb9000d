#pragma once
// Steps that fault for real. Out of line and fed by volatile reads, so that the compiler sees no
// null pointer and no zero divisor; uninstrumented, so that the sanitizers let the processor fault.

namespace QuorlinTest {

void WriteThroughNull(void*);
void DivideByZero(void*);

} // namespace QuorlinTest
