#include "launcher/work_folder.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "diagnostics/unique_handle.h"

namespace linkmoor {

namespace {

constexpr char kProbeFileName[] = "\\__try__temporary__file__";
constexpr char kTempFolderName[] = "\\Temp";
constexpr char kVolumePrefix[] = "\\\\?\\";
constexpr DWORD kProbeBlockSize = 32;
constexpr DWORD kMountPathsSize = MAX_PATH;

size_t BoundedLength(const char* text, size_t size) {
    const void* end = std::memchr(text, '\0', size);
    return end ? size_t(static_cast<const char*>(end) - text) : size;
}

void StripTrailingBackslash(char* buffer, size_t length) {
    if (length > 0 && buffer[length - 1] == '\\') buffer[length - 1] = '\0';
}

bool TryUserTemp(char* buffer, uint32_t size, FolderProbe probe) {
    DWORD length = GetTempPathA(size, buffer);
    if (length == 0 || length >= size) return false;
    StripTrailingBackslash(buffer, length);
    return probe(buffer);
}

bool TrySystemTemp(char* buffer, uint32_t size, FolderProbe probe) {
    UINT length = GetSystemWindowsDirectoryA(buffer, size);
    if (length == 0 || length >= size) return false;
    StripTrailingBackslash(buffer, length);
    length = UINT(std::strlen(buffer));
    if (length + sizeof(kTempFolderName) > size) return false;
    std::memcpy(buffer + length, kTempFolderName, sizeof(kTempFolderName));
    return probe(buffer);
}

bool IsLetterFromCToZ(char c) {
    return (c >= 'C' && c <= 'Z') || (c >= 'c' && c <= 'z');
}

// A volume is tried only when it has a mount path whose first character is a letter C to Z.
bool HasUsableMountPath(const char* volumeName) {
    char paths[kMountPathsSize] = {};
    DWORD returned = 0;
    if (!GetVolumePathNamesForVolumeNameA(volumeName, paths, kMountPathsSize, &returned)) {
        return false;
    }
    return returned > 2 && IsLetterFromCToZ(paths[0]);
}

bool TryVolumeRoots(char* buffer, uint32_t size, FolderProbe probe) {
    UniqueVolumeSearch search(FindFirstVolumeA(buffer, size));
    if (!search) return false;
    do {
        size_t length = BoundedLength(buffer, size);
        if (length > 4 && length < size && std::strncmp(buffer, kVolumePrefix, 4) == 0 &&
            buffer[length - 1] == '\\' && HasUsableMountPath(buffer)) {
            buffer[length - 1] = '\0';
            if (probe(buffer)) return true;
        }
    } while (FindNextVolumeA(search.Get(), buffer, size));
    return false;
}

bool TryOwnFolder(char* buffer, uint32_t size, FolderProbe probe) {
    DWORD length = GetModuleFileNameA(nullptr, buffer, size);
    // A path cut short by the buffer names some folder above the launcher's, not its own.
    if (length == 0 || length >= size) return false;
    char* lastBackslash = std::strrchr(buffer, '\\');
    if (!lastBackslash) return false;
    *lastBackslash = '\0';
    return probe(buffer);
}

}  // namespace

bool ProbeFolder(const char* folder) {
    char block[kProbeBlockSize] = {};
    std::snprintf(block, sizeof(block), "%d", static_cast<int>(GetTickCount()));

    char path[MAX_PATH + 64] = {};
    int written = std::snprintf(path, sizeof(path), "%s%s%s", folder, kProbeFileName, block);
    if (written < 0 || size_t(written) >= sizeof(path)) return false;

    // Only a name that does not exist yet: the candidate may be writable by less-trusted
    // programs, and a name planted there (a link to some other file) must be neither truncated
    // nor removed. The file goes when its handle closes, not through its name a second time.
    UniqueFile file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file) return false;
    DWORD count = 0;
    return WriteFile(file.Get(), block, kProbeBlockSize, &count, nullptr) != FALSE;
}

bool SelectWorkFolder(char* buffer, uint32_t size, FolderProbe probe) {
    if (!buffer || size == 0) return false;
    return TryUserTemp(buffer, size, probe) || TrySystemTemp(buffer, size, probe) ||
           TryVolumeRoots(buffer, size, probe) || TryOwnFolder(buffer, size, probe);
}

}  // namespace linkmoor
