/* A stand-in for a DLL planted beside the program (a Downloads folder): when Windows loads it, it
   leaves its name in the process environment, LINKMOOR_PLANTED_<NAME>=ran. It exports nothing. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) SetEnvironmentVariableA(PLANTED_VARIABLE, "ran");
    return TRUE;
}
