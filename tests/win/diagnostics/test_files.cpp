#include "test_files.h"

#include <stdexcept>

#include "diagnostics/unique_handle.h"

namespace linkmoor::test {

namespace {

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (find) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find.Get(), &found));
    }
    find.Reset();
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

CTestFolder::CTestFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static unsigned s_counter = 0;
    for (;;) {
        m_path = std::string(temp) + "diag_" + std::to_string(GetCurrentProcessId()) + "_" +
                 std::to_string(GetTickCount()) + "_" + std::to_string(s_counter++);
        if (CreateDirectoryA(m_path.c_str(), nullptr)) return;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create the test folder " + m_path);
    }
}

CTestFolder::~CTestFolder() { RemoveTree(m_path); }

std::string ReadWholeFile(const std::string& path) {
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return "<missing>";
    std::string bytes(GetFileSize(file.Get(), nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.Get(), &bytes[0], DWORD(bytes.size()), &read, nullptr))
        return "<unreadable>";
    bytes.resize(read);
    return bytes;
}

static void WriteBytes(const std::string& path, const std::string& bytes, DWORD disposition) {
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot write " + path);
    SetFilePointer(file.Get(), 0, nullptr, FILE_END);
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throw std::runtime_error("short write to " + path);
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    WriteBytes(path, bytes, CREATE_ALWAYS);
}

void AppendToFile(const std::string& path, const std::string& bytes) {
    WriteBytes(path, bytes, OPEN_ALWAYS);
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HANDLE CreateLogFile(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace linkmoor::test
