#include "installer/windows_version.h"

#include "installer/installer_seams.h"
#include "win32/entry_point.h"

namespace linkmoor {

namespace {

// The upper four bits of the kernel's build number tell a free build from a checked one.
constexpr DWORD kBuildNumberMask = 0x0FFFFFFF;

// The record size the system expects from a 32-bit program.
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "extended version record");

}  // namespace

bool KernelVersionNumbers(DWORD* major, DWORD* minor, DWORD* build) {
    auto versionNumbers =
        LoadedEntryPoint<RtlGetNtVersionNumbersFn>(kNtdllDll, kRtlGetNtVersionNumbers);
    if (!versionNumbers) return false;
    versionNumbers(major, minor, build);
    return true;
}

WindowsVersion TrueWindowsVersion() {
    CInstallerSeams& seams = InstallerSeams();
    OSVERSIONINFOEXA reported{};
    reported.dwOSVersionInfoSize = sizeof(reported);
    seams.getVersionEx(reinterpret_cast<OSVERSIONINFOA*>(&reported));

    WindowsVersion version;
    version.servicePackMajor = reported.wServicePackMajor;
    DWORD major = 0, minor = 0, build = 0;
    if (seams.kernelVersionNumbers(&major, &minor, &build)) {
        version.major = major;
        version.minor = minor;
        version.build = build & kBuildNumberMask;
    } else {
        version.major = reported.dwMajorVersion;
        version.minor = reported.dwMinorVersion;
        version.build = reported.dwBuildNumber;
    }
    return version;
}

}  // namespace linkmoor
