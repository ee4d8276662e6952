// The launcher's process entry.
#include <windows.h>

#include "launcher/entry.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return linkmoor::LauncherMain(linkmoor::RunCustomerModule);
}
