// Entry point of vok32.dll.  The library keeps no per-thread state, so it
// asks not to be called on every thread start and exit, and has nothing to
// set up or tear down otherwise.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
    return TRUE;
}
