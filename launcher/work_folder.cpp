#include "launcher/work_folder.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "run/system_temp_folder.h"
#include "win32/names_in_folder.h"
#include "win32/unique_handle.h"

namespace linkmoor {

namespace {

constexpr char kProbeFileName[] = "__try__temporary__file__";
constexpr char kVolumePrefix[] = "\\\\?\\";
constexpr DWORD kProbeBlockSize = 32;
constexpr DWORD kMountPathsSize = MAX_PATH;

// Only a name that does not exist yet: the candidate may be writable by less-trusted programs,
// and a name planted there (a link to some other file) must be neither truncated nor removed.
// The file goes when its handle closes, not through its name a second time.
constexpr NameOpening kProbeFile = {GENERIC_WRITE | DELETE, FILE_SHARE_READ, FILE_CREATE,
                                    FILE_NON_DIRECTORY_FILE | FILE_DELETE_ON_CLOSE, false};

size_t BoundedLength(const char* text, size_t size) {
    const void* end = std::memchr(text, '\0', size);
    return end ? size_t(static_cast<const char*>(end) - text) : size;
}

void StripTrailingBackslash(char* buffer, size_t length) {
    if (length > 0 && buffer[length - 1] == '\\') buffer[length - 1] = '\0';
}

UniqueFile TryUserTemp(char* buffer, uint32_t size, FolderProbe probe) {
    DWORD length = GetTempPathA(size, buffer);
    if (length == 0 || length >= size) return UniqueFile();
    StripTrailingBackslash(buffer, length);
    return probe(buffer);
}

UniqueFile TrySystemTemp(char* buffer, uint32_t size, FolderProbe probe) {
    UINT length = GetSystemWindowsDirectoryA(buffer, size);
    if (length == 0 || length >= size) return UniqueFile();
    StripTrailingBackslash(buffer, length);
    length = UINT(std::strlen(buffer));
    if (length + sizeof(kWindowsTempName) > size) return UniqueFile();
    std::memcpy(buffer + length, kWindowsTempName, sizeof(kWindowsTempName));
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

// The volume's root folder is probed by its GUID path with the final backslash: without it the
// path names the volume itself, whose handle is no folder. The chosen folder is then written
// without it, like every other candidate.
UniqueFile TryVolumeRoots(char* buffer, uint32_t size, FolderProbe probe) {
    UniqueVolumeSearch search(FindFirstVolumeA(buffer, size));
    if (!search) return UniqueFile();
    do {
        size_t length = BoundedLength(buffer, size);
        if (length > 4 && length < size && std::strncmp(buffer, kVolumePrefix, 4) == 0 &&
            buffer[length - 1] == '\\' && HasUsableMountPath(buffer)) {
            if (UniqueFile folder = probe(buffer)) {
                StripTrailingBackslash(buffer, length);
                return folder;
            }
        }
    } while (FindNextVolumeA(search.Get(), buffer, size));
    return UniqueFile();
}

UniqueFile TryOwnFolder(char* buffer, uint32_t size, FolderProbe probe) {
    DWORD length = GetModuleFileNameA(nullptr, buffer, size);
    // A path cut short by the buffer names some folder above the launcher's, not its own.
    if (length == 0 || length >= size) return UniqueFile();
    char* lastBackslash = std::strrchr(buffer, '\\');
    if (!lastBackslash) return UniqueFile();
    *lastBackslash = '\0';
    return probe(buffer);
}

}  // namespace

UniqueFile ProbeFolder(const char* folder) {
    // Opened once: the probe and later the log go through this handle, so a folder reached
    // through a link that is re-pointed meanwhile still gets both. A path that leads out of every
    // file system fails here.
    UniqueFile opened = OpenFolder(folder);
    if (!opened) return UniqueFile();

    char block[kProbeBlockSize] = {};
    std::snprintf(block, sizeof(block), "%d", static_cast<int>(GetTickCount()));
    char name[sizeof(kProbeFileName) + kProbeBlockSize] = {};
    std::snprintf(name, sizeof(name), "%s%s", kProbeFileName, block);

    UniqueFile file;
    OpenNameInFolder(opened.Get(), name, kProbeFile, file);
    if (!file) return UniqueFile();
    DWORD count = 0;
    if (!WriteFile(file.Get(), block, kProbeBlockSize, &count, nullptr)) return UniqueFile();
    return opened;
}

bool SelectWorkFolder(char* buffer, uint32_t size, UniqueFile& folder, FolderProbe probe) {
    folder.Reset();
    if (!buffer || size == 0) return false;
    folder = TryUserTemp(buffer, size, probe);
    if (!folder) folder = TrySystemTemp(buffer, size, probe);
    if (!folder) folder = TryVolumeRoots(buffer, size, probe);
    if (!folder) folder = TryOwnFolder(buffer, size, probe);
    return folder.IsValid();
}

}  // namespace linkmoor
