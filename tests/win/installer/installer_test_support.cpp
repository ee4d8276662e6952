#include "installer_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>

namespace linkmoor::test {

namespace {

constexpr char kSessionManagerKey[] = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendingRenamesValue[] = "PendingFileRenameOperations";

void RemoveTree(const std::string& path) {
    for (const std::string& name : ListFolder(path)) {
        std::string child = path + "\\" + name;
        DWORD attributes = GetFileAttributesA(child.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            RemoveTree(child);
        } else {
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(child.c_str());
        }
    }
    RemoveDirectoryA(path.c_str());
}

}  // namespace

bool IsWin64Prefix() {
    const char* arch = getenv("LINKMOOR_WINE_ARCH");
    return arch && std::string(arch) == "win64";
}

CTempFolder::CTempFolder() {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string base(temp);
    if (!base.empty() && base.back() == '\\') base.pop_back();
    for (unsigned i = 0;; ++i) {
        char name[64];
        snprintf(name, sizeof(name), "\\eng-%lu-%u", GetCurrentProcessId(), GetTickCount() + i);
        m_path = base + name;
        if (CreateDirectoryA(m_path.c_str(), nullptr)) break;
    }
}

CTempFolder::~CTempFolder() { RemoveTree(m_path); }

CLogFile::CLogFile(const std::string& path)
    : m_path(path),
      m_handle(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}

CLogFile::~CLogFile() {
    if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
}

std::string CLogFile::Contents() const { return ReadFileBytes(m_path); }

std::string ReadFileBytes(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<unreadable>";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], DWORD(bytes.size()), &read, nullptr);
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

bool PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ReadPendingRenames() {
    std::vector<std::string> strings;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, &key)) {
        return strings;
    }
    DWORD size = 0;
    DWORD type = 0;
    if (RegQueryValueExA(key, kPendingRenamesValue, nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS &&
        type == REG_MULTI_SZ) {
        std::string data(size, '\0');
        RegQueryValueExA(key, kPendingRenamesValue, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&data[0]), &size);
        data.resize(size);
        // Strings one after another, each ended by a zero; an empty string stands for "no
        // target". The list ends with one more zero.
        size_t at = 0;
        while (at < data.size()) {
            size_t end = data.find('\0', at);
            if (end == std::string::npos) end = data.size();
            strings.push_back(data.substr(at, end - at));
            at = end + 1;
        }
        while (!strings.empty() && strings.back().empty() && strings.size() % 2 == 1) {
            strings.pop_back();
        }
    }
    RegCloseKey(key);
    return strings;
}

void ClearPendingRenames() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, &key)) return;
    RegDeleteValueA(key, kPendingRenamesValue);
    RegCloseKey(key);
}

std::string NtPath(const std::string& path) { return "\\??\\" + path; }

}  // namespace linkmoor::test
