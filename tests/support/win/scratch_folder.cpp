#include "scratch_folder.h"

#include <windows.h>

#include <stdexcept>

#include "whole_file.h"

namespace linkmoor::test {

// Read-only files too: a test may leave one behind on purpose.
void RemoveTree(const std::string& path) {
    for (const std::string& name : ListFolder(path)) {
        const std::string child = path + "\\" + name;
        const DWORD attributes = GetFileAttributesA(child.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            RemoveTree(child);
        } else {
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(child.c_str());
        }
    }
    RemoveDirectoryA(path.c_str());
}

std::string WindowsTempFolder() {
    char windows[MAX_PATH] = {};
    GetSystemWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows) + "\\Temp";
}

std::string UserTempFolder() {
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH, buffer);
    std::string path(buffer, length);
    if (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

CScratchFolder::CScratchFolder() {
    const std::string base = UserTempFolder() + "\\test-" + std::to_string(GetCurrentProcessId()) +
                             "-" + std::to_string(GetTickCount()) + "-";
    static unsigned s_counter = 0;
    for (;;) {
        m_path = base + std::to_string(s_counter++);
        if (CreateDirectoryA(m_path.c_str(), nullptr)) return;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create the scratch folder " + m_path);
    }
}

CScratchFolder::~CScratchFolder() { RemoveTree(m_path); }

}  // namespace linkmoor::test
