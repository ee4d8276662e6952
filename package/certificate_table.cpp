// Reading the PE headers just far enough to find the security directory.
#include "package/certificate_table.h"

#include "package/package_format.h"
#include "package/pe_headers.h"

namespace linkmoor::package {

CertificateTable FindCertificateTable(const uint8_t* file, size_t size) {
    CertificateTable table;
    const PeHeaders headers = ReadPeHeaders(file, size);
    if (headers.stop != PeHeaders::Stop::kComplete) {
        return table;
    }
    const size_t entryOffset = SecurityEntryOffset(headers.magic);
    if (headers.optionalSize < entryOffset + kDirectoryEntrySize ||
        !Fits(size, headers.optionalAt, entryOffset + kDirectoryEntrySize) ||
        ReadLe32(file + headers.optionalAt + DirectoryCountOffset(headers.magic)) <=
            kSecurityDirectory) {
        return table;
    }
    table.offset = ReadLe32(file + headers.optionalAt + entryOffset);
    table.size = ReadLe32(file + headers.optionalAt + entryOffset + 4);
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
