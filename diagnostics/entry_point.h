#pragma once
// System functions looked up at run time in a library the process has loaded already (kernel32,
// ntdll): a function that older Windows lacks, or one Microsoft does not document, stays out of
// the import table, which Windows XP's loader would otherwise refuse before any code runs.

#include <windows.h>

namespace linkmoor {

inline constexpr char kKernel32Dll[] = "kernel32.dll";
inline constexpr char kNtdllDll[] = "ntdll.dll";

// The function `name` of the loaded library `module` as type Fn; null when either is missing.
template <typename Fn>
Fn LoadedEntryPoint(const char* module, const char* name) {
    HMODULE library = ::GetModuleHandleA(module);
    if (!library) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

}  // namespace linkmoor
