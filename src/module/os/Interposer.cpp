#include "Interposer.h"

#include <atomic>

#include "Clock.h"
#include "Debugger.h"
#include "Directory.h"
#include "Native.h"

namespace Quorlin::os {
namespace {
std::atomic<Interposer*> g_Interposer{nullptr};
}  // namespace

Interposer* Interpose(Interposer* fake) noexcept { return g_Interposer.exchange(fake); }

#define QUORLIN_INTERPOSED(Result, Name, Parameters, Arguments, Exceptions)                                                      \
    Result Interposer::Name Parameters { return native::Name Arguments; }
#include "InterposedCalls.h"
#undef QUORLIN_INTERPOSED

#define QUORLIN_INTERPOSED(Result, Name, Parameters, Arguments, Exceptions)                                                      \
    Result Name Parameters Exceptions                                                                                            \
    {                                                                                                                            \
        if (Interposer* fake = g_Interposer.load(std::memory_order_acquire))                                                     \
            return fake->Name Arguments;                                                                                         \
        return native::Name Arguments;                                                                                           \
    }
#include "InterposedCalls.h"
#undef QUORLIN_INTERPOSED

}  // namespace Quorlin::os
