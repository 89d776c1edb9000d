#pragma once
// The system implementations of the interposable calls; each platform folder defines them.
// Only Interposer.cpp and the platform files include this header.

#include "Interposer.h"

namespace Quorlin::os::native {

#define QUORLIN_INTERPOSED(Result, Name, Parameters, Arguments, Exceptions) Result Name Parameters Exceptions;
#include "InterposedCalls.h"
#undef QUORLIN_INTERPOSED

}  // namespace Quorlin::os::native
