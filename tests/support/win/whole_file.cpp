#include "whole_file.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "win32/unique_handle.h"

namespace linkmoor::test {

namespace {

// The writer shares the file for reading and writing, so that a log or a capture holding it
// open is not disturbed.
void WriteBytes(const std::string& path, const std::string& bytes, DWORD disposition) {
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) throw std::runtime_error("cannot write " + path);
    SetFilePointer(file.Get(), 0, nullptr, FILE_END);
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        throw std::runtime_error("short write to " + path);
}

}  // namespace

std::string ReadFileBytes(const std::string& path) {
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

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    WriteBytes(path, bytes, CREATE_ALWAYS);
}

void AppendFileBytes(const std::string& path, const std::string& bytes) {
    WriteBytes(path, bytes, OPEN_ALWAYS);
}

bool PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    UniqueFind search(FindFirstFileA((folder + "\\*").c_str(), &found));
    if (!search) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search.Get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace linkmoor::test
