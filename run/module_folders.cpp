#include "run/module_folders.h"

#include <windows.h>

#include "installer/installer.h"
#include "win32/unique_handle.h"
#include "win32/wide_path.h"

namespace linkmoor {

namespace {

constexpr wchar_t kEveryName[] = L"\\*";
constexpr wchar_t kThisFolder[] = L".";
constexpr wchar_t kParentFolder[] = L"..";

using RemoveCall = BOOL(WINAPI*)(LPCWSTR path);

void RemoveOrDefer(CInstaller& engine, const std::wstring& path, RemoveCall remove) {
    if (remove(path.c_str())) return;
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    engine.m_rebootRequired = 1;
}

// A folder below is entered; a link to a folder (a junction) is removed itself, not what it
// leads to.
void RemoveTree(CInstaller& engine, const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    UniqueFind search(::FindFirstFileW((folder + kEveryName).c_str(), &found));
    if (search) {
        do {
            const std::wstring name = found.cFileName;
            if (name == kThisFolder || name == kParentFolder) continue;
            const std::wstring path = folder + L"\\" + name;
            const DWORD attributes = found.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                    RemoveOrDefer(engine, path, ::RemoveDirectoryW);
                } else {
                    RemoveTree(engine, path);
                }
                continue;
            }
            if (attributes & FILE_ATTRIBUTE_READONLY)
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            RemoveOrDefer(engine, path, ::DeleteFileW);
        } while (::FindNextFileW(search.Get(), &found));
    }
    search.Reset();
    RemoveOrDefer(engine, folder, ::RemoveDirectoryW);
}

}  // namespace

void CreateModuleFolders(const std::string& runFolder) {
    ::CreateDirectoryA((runFolder + "\\" + kModuleTempFolder).c_str(), nullptr);
    const std::string openSsl = runFolder + "\\" + kOpenSslFolder;
    ::CreateDirectoryA(openSsl.c_str(), nullptr);
    UniqueFile config(::CreateFileA((openSsl + "\\" + kOpenSslConfigFile).c_str(), GENERIC_WRITE, 0,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void RemoveModuleFolders(CInstaller& engine, const std::string& runFolder) {
    for (const char* name : {kModuleTempFolder, kOpenSslFolder}) {
        const std::wstring folder = WidePath(runFolder + "\\" + name);
        const DWORD attributes = ::GetFileAttributesW(folder.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            RemoveOrDefer(engine, folder, ::RemoveDirectoryW);
        } else {
            RemoveTree(engine, folder);
        }
    }
}

}  // namespace linkmoor
