// The package reader's way in on Windows: the running executable's own file.
#include <windows.h>

#include <memory>
#include <new>

#include "diagnostics/unique_handle.h"
#include "package/own_image.h"
#include "package/packed_tools.h"

// Declared by no header of the toolchain; ntdll has exported it since Windows NT.
extern "C" LONG NTAPI NtAreMappedFilesTheSame(PVOID mappedBase, PVOID otherBase);

namespace linkmoor {

namespace {

constexpr LONG kStatusSuccess = 0;

struct ViewPolicy {
    using Type = void*;
    static Type Invalid() { return nullptr; }
    static void Close(Type view) { ::UnmapViewOfFile(view); }
};
using UniqueView = UniqueHandle<ViewPolicy>;

}  // namespace

bool IsFileOfThisProcess(HANDLE file) {
    UniqueKernelHandle mapping(
        CreateFileMappingA(file, nullptr, PAGE_READONLY | SEC_IMAGE, 0, 0, nullptr));
    if (!mapping) return false;
    UniqueView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return false;
    return NtAreMappedFilesTheSame(GetModuleHandleA(nullptr), view.Get()) == kStatusSuccess;
}

int CPackedTools::OpenSelf() {
    m_status = kPackageNotRead;
    char path[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, path, MAX_PATH) == 0) {
        return 0;
    }
    UniqueFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
