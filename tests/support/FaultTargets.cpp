#include "FaultTargets.h"

namespace QuorlinTest {
namespace {
int* volatile g_Null = nullptr;
volatile int g_Zero = 0;
volatile int g_Sink = 0;
} // namespace

__attribute__((noinline, no_sanitize("address", "undefined"))) void WriteThroughNull(void*)
{
    *g_Null = 1;
}

__attribute__((noinline, no_sanitize("address", "undefined"))) void DivideByZero(void*)
{
    g_Sink = 100 / g_Zero;
}

} // namespace QuorlinTest
