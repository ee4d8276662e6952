// Reading the PE headers just far enough to find the security directory.
#include "package/certificate_table.h"

#include <cstring>

#include "package/package_format.h"

namespace linkmoor::package {

namespace {

constexpr char kDosMagic[] = "MZ";
constexpr size_t kNewHeaderPointerOffset = 0x3C;  // e_lfanew
constexpr char kPeSignature[] = "PE\0";           // with its terminator: four bytes
constexpr size_t kPeSignatureSize = 4;
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kOptionalHeaderSizeOffset = 16;  // within the COFF header
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
// Within the optional header: the count of data directories and the first directory.
constexpr size_t kPe32DirectoryCountOffset = 92;
constexpr size_t kPe32DirectoriesOffset = 96;
constexpr size_t kPe32PlusDirectoryCountOffset = 108;
constexpr size_t kPe32PlusDirectoriesOffset = 112;
constexpr uint32_t kSecurityDirectory = 4;  // its "virtual address" is a file offset
constexpr size_t kDirectoryEntrySize = 8;

uint16_t ReadLe16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// True when [offset, offset + length) lies within `size` bytes.
bool Fits(size_t size, uint64_t offset, uint64_t length) {
    return offset <= size && length <= size - offset;
}

}  // namespace

CertificateTable FindCertificateTable(const uint8_t* file, size_t size) {
    CertificateTable table;
    if (!Fits(size, 0, kNewHeaderPointerOffset + 4) || std::memcmp(file, kDosMagic, 2) != 0)
        return table;
    const uint64_t peHeader = ReadLe32(file + kNewHeaderPointerOffset);
    const uint64_t optional = peHeader + kPeSignatureSize + kCoffHeaderSize;
    if (!Fits(size, peHeader, kPeSignatureSize + kCoffHeaderSize + 2) ||
        std::memcmp(file + peHeader, kPeSignature, kPeSignatureSize) != 0)
        return table;
    const uint16_t optionalSize =
        ReadLe16(file + peHeader + kPeSignatureSize + kOptionalHeaderSizeOffset);
    const uint16_t magic = ReadLe16(file + optional);
    size_t countOffset = 0, directoriesOffset = 0;
    if (magic == kPe32Magic) {
        countOffset = kPe32DirectoryCountOffset;
        directoriesOffset = kPe32DirectoriesOffset;
    } else if (magic == kPe32PlusMagic) {
        countOffset = kPe32PlusDirectoryCountOffset;
        directoriesOffset = kPe32PlusDirectoriesOffset;
    } else {
        return table;
    }
    const size_t entryOffset = directoriesOffset + kSecurityDirectory * kDirectoryEntrySize;
    if (optionalSize < entryOffset + kDirectoryEntrySize ||
        !Fits(size, optional, entryOffset + kDirectoryEntrySize) ||
        ReadLe32(file + optional + countOffset) <= kSecurityDirectory)
        return table;
    table.offset = ReadLe32(file + optional + entryOffset);
    table.size = ReadLe32(file + optional + entryOffset + 4);
    table.present = table.offset != 0 && table.size != 0;
    return table;
}

uint64_t PackageEnd(const uint8_t* file, size_t size, size_t headerAt) {
    if (!Fits(size, headerAt, kHeaderSize)) return 0;
    return headerAt + PackageLength(file + headerAt);
}

bool SignatureCoversPackage(const uint8_t* file, size_t size, size_t headerAt) {
    const CertificateTable table = FindCertificateTable(file, size);
    if (!table.present) return true;
    const uint64_t end = PackageEnd(file, size, headerAt);
    return end == 0 || end <= table.offset;
}

}  // namespace linkmoor::package
