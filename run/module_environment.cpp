#include "run/module_environment.h"

#include <windows.h>

#include "diagnostics/unique_handle.h"
#include "run/environment_block.h"

namespace linkmoor {

namespace {

constexpr wchar_t kWbemFolder[] = L"\\Wbem";
constexpr wchar_t kPowerShellFolder[] = L"\\WindowsPowerShell\\v1.0";

struct EnvironmentStringsPolicy {
    using Type = wchar_t*;
    static Type Invalid() { return nullptr; }
    static void Close(Type block) { ::FreeEnvironmentStringsW(block); }
};

template <UINT (WINAPI* Query)(LPWSTR, UINT)>
std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = Query(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    std::wstring folder(buffer, length);
    if (folder.back() == L'\\') folder.pop_back();
    return folder;
}

std::wstring SystemPath() {
    const std::wstring system = SystemFolder<::GetSystemDirectoryW>();
    const std::wstring windows = SystemFolder<::GetSystemWindowsDirectoryW>();
    std::wstring path;
    for (const std::wstring& folder :
         {system, windows, system + kWbemFolder, system + kPowerShellFolder}) {
        if (folder.empty() || folder[0] == L'\\') continue;  // a query that failed
        if (!path.empty()) path += L';';
        path += folder;
    }
    return path;
}

}  // namespace

std::wstring CustomerModuleEnvironment() {
    UniqueHandle<EnvironmentStringsPolicy> own(::GetEnvironmentStringsW());
    return WithPathReplaced(own.Get(), SystemPath());
}

}  // namespace linkmoor
