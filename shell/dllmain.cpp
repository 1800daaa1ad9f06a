// dllmain.cpp - the module's DLL start-up on Windows. The module starts no threads and
// keeps no per-thread state, so it asks Windows not to call it for every thread.
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH)
        (void)DisableThreadLibraryCalls(instance); // an optimisation only: failure is harmless
    return TRUE;
}
