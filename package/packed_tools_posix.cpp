// The package reader's way in on other systems: a named file (the package tool checks packages).
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

#include "package/packed_tools.h"

namespace linkmoor {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

int CPackedTools::LoadFile(const char* path, int verifyOnly) {
    m_status = kPackageOk;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file) {
        m_status = kPackageNotRead;
        return EndLoad(verifyOnly);
    }
    long size = -1;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        size = std::ftell(file.get());
    }
    std::rewind(file.get());
    // A size that cannot be obtained, or that a 32-bit size cannot carry, cannot be held.
    std::unique_ptr<uint8_t[]> buffer;
    if (size >= 0 && static_cast<unsigned long>(size) <= std::numeric_limits<uint32_t>::max()) {
        buffer.reset(new (std::nothrow) uint8_t[size_t(size)]);
    }
    if (!buffer) {
        m_status = kPackageNoMemory;
        return EndLoad(verifyOnly);
    }
    const size_t read = std::fread(buffer.get(), 1, size_t(size), file.get());
    if (read != size_t(size)) {
        m_status = kPackageNotRead;
        return EndLoad(verifyOnly);
    }
    return LoadBytes(buffer.get(), uint32_t(size), verifyOnly);
}

}  // namespace linkmoor
