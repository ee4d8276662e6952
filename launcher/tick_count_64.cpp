// Windows XP and Server 2003 refuse to load a program that imports a function their system DLLs
// lack, before any of its code runs: the legacy notice could never show there. The toolchain's
// threads runtime imports GetTickCount64 (Windows Vista and later) for its timed waits. This file
// defines the import slot that runtime calls through, so the linker takes no import for it; the
// slot leads to the system's own function where kernel32 has it, and to the 32-bit tick count
// widened to 64 bits where it has not. Linked into the launcher executable itself: a library
// member would only be pulled in after the import library had already served the slot.

#include <windows.h>

#include "win32/entry_point.h"

namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();

constexpr char kTickCount64[] = "GetTickCount64";
constexpr ULONGLONG kOneWrap = 1ULL << 32;

// Counts the wraps of the 32-bit count between calls. Only reached on systems without the 64-bit
// count, where the launcher shows its notice on its only thread and ends.
ULONGLONG WINAPI WidenedTickCount() {
    static DWORD s_last = 0;
    static ULONGLONG s_wraps = 0;
    const DWORD now = ::GetTickCount();
    if (now < s_last) s_wraps += kOneWrap;
    s_last = now;
    return s_wraps + now;
}

ULONGLONG WINAPI TickCount64() {
    auto system = linkmoor::LoadedEntryPoint<TickCount64Fn>(linkmoor::kKernel32Dll, kTickCount64);
    return system ? system() : WidenedTickCount();
}

}  // namespace

// The name under which callers compiled against the system headers find the function.
extern "C" TickCount64Fn const linkmoorTickCount64Slot __asm__("__imp__GetTickCount64@0") =
    &TickCount64;
