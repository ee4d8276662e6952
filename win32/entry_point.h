#pragma once
// System functions looked up at run time: a function that older Windows lacks, one Microsoft does
// not document, or one that newer Windows forward to a library outside the known system DLLs
// stays out of the import table. Windows XP's loader would refuse a missing import before any
// code runs, and the loader resolves a forwarded import by searching the program's own folder
// first, before any of the launcher's code could restrict that search.

#include <windows.h>

#include <string>

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

// Loads a system library from the system folder only. A bare name would also search the
// program's folder, where a planted copy (a Downloads folder) would run elevated. The library
// stays loaded for the life of the process.
inline HMODULE LoadSystemLibrary(const char* name) {
    HMODULE module = ::LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
    // Systems without the search flags reject it: build the full path instead.
    char dir[MAX_PATH + 1] = {};
    const UINT length = ::GetSystemDirectoryA(dir, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::string path(dir, length);
    path += '\\';
    path += name;
    return ::LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The function `name` of the system library `module`, loaded from the system folder; null when
// either is missing.
template <typename Fn>
Fn SystemEntryPoint(const char* module, const char* name) {
    HMODULE library = LoadSystemLibrary(module);
    if (!library) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

}  // namespace linkmoor
