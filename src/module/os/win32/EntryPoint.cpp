#include <windows.h>

#include "os/EntryPoint.h"

// Process attach runs the module's start-up; every other notification succeeds at once.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        Quorlin::OnModuleLoad();
    return TRUE;
}
