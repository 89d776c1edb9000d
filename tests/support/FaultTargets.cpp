#include "FaultTargets.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define QUORLIN_LSAN_DISABLE() __lsan_disable()
#define QUORLIN_LSAN_ENABLE() __lsan_enable()
#else
#define QUORLIN_LSAN_DISABLE() ((void)0)
#define QUORLIN_LSAN_ENABLE() ((void)0)
#endif

namespace QuorlinTest {

ScopedLeakCheckOff::ScopedLeakCheckOff() { QUORLIN_LSAN_DISABLE(); }
ScopedLeakCheckOff::~ScopedLeakCheckOff() { QUORLIN_LSAN_ENABLE(); }

namespace {
int* volatile g_Null = nullptr;
volatile int g_Zero = 0;
volatile int g_Sink = 0;
}  // namespace

__attribute__((noinline, no_sanitize("address", "undefined"))) void WriteThroughNull(void*) { *g_Null = 1; }

__attribute__((noinline, no_sanitize("address", "undefined"))) void DivideByZero(void*) { g_Sink = 100 / g_Zero; }

}  // namespace QuorlinTest
