// The package reader's way in on Windows: the running executable's own file.
#include <windows.h>

#include <memory>
#include <new>

#include "diagnostics/unique_handle.h"
#include "package/packed_tools.h"

namespace linkmoor {

int CPackedTools::OpenSelf() {
    m_status = kPackageNotRead;
    char path[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, path, MAX_PATH) == 0) {
        return 0;
    }
    UniqueFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
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
