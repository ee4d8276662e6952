#pragma once
// The Windows version the decisions of a run rest on: the kernel's own numbers, which a
// compatibility setting on the launcher does not change (with Windows XP or 7 compatibility set,
// GetVersionExA reports 5.1 or 6.1 on Windows 10). The start-up's legacy gate, the engine's
// version gate, the Windows 10 question and the log's system line all ask this one query.

#include <windows.h>

namespace linkmoor {

// ntdll's call for the kernel's version numbers, undocumented and so looked up at run time.
using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD* major, DWORD* minor, DWORD* build);
inline constexpr char kRtlGetNtVersionNumbers[] = "RtlGetNtVersionNumbers";

struct WindowsVersion {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    WORD servicePackMajor = 0;  // only GetVersionExA knows it; it matters for Windows 2000 only
};

// Major, minor and build number from ntdll's RtlGetNtVersionNumbers (the flag bits of the build
// number masked) where the system has it, else from GetVersionExA; a failed query leaves zeros.
WindowsVersion TrueWindowsVersion();

// The kernel's version numbers; false where ntdll has no such call (it is looked up at run time,
// being undocumented).
bool KernelVersionNumbers(DWORD* major, DWORD* minor, DWORD* build);

}  // namespace linkmoor
