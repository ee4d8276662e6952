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

TableCheck CheckCertificateTable(const uint8_t* file, size_t size, const CertificateTable& table) {
    TableCheck check;
    if (!table.present) return check;
    check.end = uint64_t(table.offset) + table.size;
    if (table.offset > size) {
        check.shape = TableShape::kOutsideFile;
        return check;
    }
    // Cut where the table starts leaves nothing of it: that is a file cut short as well.
    if (table.offset == size || check.end > size) {
        check.shape = TableShape::kCutShort;
        return check;
    }
    check.shape = TableShape::kWhole;
    for (uint64_t at = table.offset; at < check.end;) {
        check.entryAt = at;
        if (check.end - at < kWinCertificateHeaderSize) {
            check.entryLength = 0;
            check.shape = TableShape::kMalformed;
            return check;
        }
        check.entryLength = ReadLe32(file + at);
        check.revision = ReadLe16(file + at + 4);
        check.type = ReadLe16(file + at + 6);
        const bool revisionKnown =
            check.revision == kWinCertificateRevision1 || check.revision == kWinCertificateRevision2;
        const bool typeKnown = check.type >= kWinCertificateTypeFirst && check.type <= kWinCertificateTypeLast;
        if (check.entryLength < kWinCertificateHeaderSize || check.entryLength > check.end - at || !revisionKnown ||
            !typeKnown) {
            check.shape = TableShape::kMalformed;
            return check;
        }
        // The next entry starts on an 8-byte boundary; the padding of the last may be left out.
        const uint64_t next = table.offset + (at - table.offset + check.entryLength + kWinCertificateAlignment - 1) /
                                                 kWinCertificateAlignment * kWinCertificateAlignment;
        at = next < check.end ? next : check.end;
    }
    return check;
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
