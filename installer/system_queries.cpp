// The architecture and version queries. Nothing is cached: each call asks Windows again.

#include "installer/installer.h"
#include "installer/windows_version.h"

namespace linkmoor {

// True for a 32-bit process on 64-bit Windows: 32-bit Windows answers "not implemented". The call
// need not set the last error when it succeeds, so a 120 left by an earlier call is cleared first.
bool CInstaller::Is64BitWindows() {
    if (!m_getSystemWow64DirectoryA) return false;
    ::SetLastError(ERROR_SUCCESS);
    m_getSystemWow64DirectoryA(nullptr, 0);
    return ::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED;
}

bool CInstaller::IsArm64Machine() {
    if (!m_isWow64Process2) return false;
    USHORT processMachine = 0;
    USHORT nativeMachine = 0;
    if (!m_isWow64Process2(::GetCurrentProcess(), &processMachine, &nativeMachine)) return false;
    return nativeMachine == IMAGE_FILE_MACHINE_ARM64;
}

bool CInstaller::IsWindows10OrNewer() { return TrueWindowsVersion().major >= 10; }

}  // namespace linkmoor
