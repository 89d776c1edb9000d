#include "os/EntryPoint.h"

// Runs when the dynamic loader maps the module, after its static initialisation, like process attach.
__attribute__((constructor)) static void QuorlinModuleLoaded() { Quorlin::OnModuleLoad(); }
