// The package reader's way in on Windows: the running executable's own file.
#include <windows.h>

#include <memory>
#include <new>
#include <string>

#include "package/own_image.h"
#include "package/packed_tools.h"
#include "win32/entry_point.h"
#include "win32/retry.h"
#include "win32/unique_handle.h"

namespace linkmoor {

namespace {

constexpr LONG kStatusSuccess = 0;
constexpr RetryPauses kOwnFilePauses = {50, 400, 1500};

// Undocumented, so looked up at run time: missing, no file counts as this process's own.
using AreMappedFilesTheSameFn = LONG(NTAPI*)(PVOID mappedBase, PVOID otherBase);
constexpr char kAreMappedFilesTheSame[] = "NtAreMappedFilesTheSame";

struct ViewPolicy {
    using Type = void*;
    static Type Invalid() { return nullptr; }
    static void Close(Type view) { ::UnmapViewOfFile(view); }
};
using UniqueView = UniqueHandle<ViewPolicy>;

// The running program's own full path, by its wide name; false when it cannot be had whole.
bool OwnFilePath(wchar_t (&path)[MAX_PATH]) {
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length != 0 && length < MAX_PATH;  // a path cut short ends without a terminator
}

// True when `path` starts with a drive letter that names no drive in this session: a network
// drive mapped in the user's unelevated session is not there for an elevated program.
bool IsDriveMissing(const wchar_t* path) {
    const bool driveLetter = ((path[0] >= L'A' && path[0] <= L'Z') ||
                              (path[0] >= L'a' && path[0] <= L'z')) &&
                             path[1] == L':' && path[2] == L'\\';
    if (!driveLetter) return false;
    const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR;
}

}  // namespace

bool IsFileOfThisProcess(HANDLE file) {
    UniqueKernelHandle mapping(
        CreateFileMappingA(file, nullptr, PAGE_READONLY | SEC_IMAGE, 0, 0, nullptr));
    if (!mapping) return false;
    UniqueView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return false;
    auto sameFiles = LoadedEntryPoint<AreMappedFilesTheSameFn>(kNtdllDll, kAreMappedFilesTheSame);
    return sameFiles && sameFiles(GetModuleHandleA(nullptr), view.Get()) == kStatusSuccess;
}

bool OwnFileDriveMissing(std::string& drive) {
    wchar_t path[MAX_PATH] = {};
    if (!OwnFilePath(path) || !IsDriveMissing(path)) return false;
    drive = {char(path[0]), ':'};
    return true;
}

// The own file is found and opened by its wide name: a folder named outside the ANSI code page
// (a Downloads folder under a profile named in another script) reads as "?" through the ANSI
// calls. Shared for deletion too, and opened again for a moment while security software that
// has just seen the file holds it without sharing.
int CPackedTools::OpenSelf() {
    m_status = kPackageNotRead;
    wchar_t path[MAX_PATH] = {};
    if (!OwnFilePath(path)) {
        return 0;
    }
    UniqueFile file;
    RetryWhilePassing(
        kOwnFilePauses,
        [&] {
            file.Reset(CreateFileW(path, GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            return file.IsValid();
        },
        [](DWORD error) { return error == ERROR_SHARING_VIOLATION; });
    // The file is opened by name a second time, after Windows started the program from it: an
    // unelevated program may have renamed the running launcher meanwhile (Windows allows that)
    // and put another file under its name. Only the file the program runs from is read.
    if (!file || !IsFileOfThisProcess(file.Get())) {
        return 0;
    }
    return Load(file.Get(), 0);
}

int CPackedTools::Load(void* file, int verifyOnly) {
    m_status = kPackageOk;
    const DWORD size = GetFileSize(file, nullptr);
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    // A size that cannot be obtained is reported like a buffer that cannot be had.
    std::unique_ptr<uint8_t[]> buffer;
    if (size != INVALID_FILE_SIZE) {
        buffer.reset(new (std::nothrow) uint8_t[size]);
    }
    if (!buffer) {
        m_status = kPackageNoMemory;
        return EndLoad(verifyOnly);
    }
    // One read of the whole file; a failed read delivers nothing.
    DWORD read = 0;
    if (!ReadFile(file, buffer.get(), size, &read, nullptr)) {
        read = 0;
    }
    if (read != size) {
        m_status = kPackageNotRead;
        return EndLoad(verifyOnly);
    }
    return LoadBytes(buffer.get(), size, verifyOnly);
}

}  // namespace linkmoor
