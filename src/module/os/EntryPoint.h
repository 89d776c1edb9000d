#pragma once
// The module's load notification: DllMain at process attach on Windows, a load-time constructor on
// POSIX. Only the module's own binary links the implementation. It calls OnModuleLoad once, on the
// loading thread (under the system's loader lock on Windows), and nothing at unload.

namespace Quorlin {

// Defined by the module: its start-up steps.
void OnModuleLoad();

}  // namespace Quorlin
