#include "run/system_temp_folder.h"

#include <windows.h>

#include "diagnostics/names_in_folder.h"

namespace linkmoor {

namespace {

constexpr char kSystemTempName[] = "\\SystemTemp";

// Newer Windows keep SYSTEM's temporary files there and may not let administrators create
// folders in it; that is asked without creating anything.
bool AdmitsFolders(const std::string& folder) {
    return OpenFolder(folder.c_str(), FILE_ADD_SUBDIRECTORY).IsValid();
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
    folder = base + kWindowsTempName;
    return true;
}

}  // namespace linkmoor
