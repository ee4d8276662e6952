#pragma once
// The environment the customer module starts with.

#include <string>

namespace linkmoor {

// The launcher's own environment, except PATH, which names only the system's folders: the system
// folder, the Windows folder, System32\Wbem and System32\WindowsPowerShell\v1.0, as the system
// names them. The user's own part of PATH (on Windows a folder the user can write,
// %LOCALAPPDATA%\Microsoft\WindowsApps, by default) would otherwise let the user's unelevated
// programs put a library the elevated module loads from there. A block of wide strings, for
// CreateProcess with CREATE_UNICODE_ENVIRONMENT, so that no variable loses characters outside the
// code page.
std::wstring CustomerModuleEnvironment();

}  // namespace linkmoor
