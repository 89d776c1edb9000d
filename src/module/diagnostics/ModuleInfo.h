#pragma once
// Where the module lies and when it was loaded.

#include <chrono>

#include "utility/DString.h"

namespace Quorlin::ModuleInfo {

// Full path of the module's own file; empty until start-up records it, or when it cannot be found out.
const ORBEK::Utility::DString& Path();
// The path cut after its last separator, the separator kept ("C:\app\" for "C:\app\mod.dll").
const ORBEK::Utility::DString& Directory();
// The system clock's time during static initialisation of the module.
std::chrono::system_clock::time_point LoadTime();

// Records the path (at most 260 characters) and cuts the directory from it.
void RecordLocation(const ORBEK::Utility::DString& modulePath);

}  // namespace Quorlin::ModuleInfo
