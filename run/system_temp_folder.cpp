#include "run/system_temp_folder.h"

#include <windows.h>

namespace linkmoor {

namespace {

constexpr char kSystemTempName[] = "\\SystemTemp";

}  // namespace

bool SystemTempFolders(RunFolderParents& parents) {
    char windows[MAX_PATH + 1] = {};
    const UINT length = ::GetSystemWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        if (length != 0) ::SetLastError(ERROR_BUFFER_OVERFLOW);
        return false;
    }
    std::string base(windows, length);
    if (base.back() == '\\') base.pop_back();  // the Windows folder at a drive's root
    parents.systemTemp = base + kSystemTempName;
    parents.windowsTemp = base + kWindowsTempName;
    return true;
}

}  // namespace linkmoor
