#include "run/system_temp_folder.h"

#include <windows.h>

#include "diagnostics/unique_handle.h"

namespace linkmoor {

namespace {

constexpr char kSystemTempName[] = "\\SystemTemp";
constexpr char kTempName[] = "\\Temp";

// Newer Windows keep SYSTEM's temporary files there and may not let administrators create
// folders in it; that is asked without creating anything.
bool AdmitsFolders(const std::string& folder) {
    UniqueFile opened(::CreateFileA(folder.c_str(), FILE_ADD_SUBDIRECTORY,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return opened && ::GetFileInformationByHandle(opened.Get(), &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool SystemTempFolder(std::string& folder) {
    char windows[MAX_PATH + 1] = {};
    const UINT length = ::GetSystemWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        if (length != 0) ::SetLastError(ERROR_BUFFER_OVERFLOW);
        return false;
    }
    std::string base(windows, length);
    if (base.back() == '\\') base.pop_back();  // the Windows folder at a drive's root

    folder = base + kSystemTempName;
    if (AdmitsFolders(folder)) return true;
    folder = base + kTempName;
    return true;
}

}  // namespace linkmoor
