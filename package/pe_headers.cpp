// Reading the PE headers at the start of a file.
#include "package/pe_headers.h"

#include <cstring>

#include "package/package_format.h"

namespace linkmoor::package {

namespace {

constexpr char kDosMagic[] = "MZ";
constexpr size_t kDosHeaderSize = 0x40;
constexpr size_t kNewHeaderPointerOffset = 0x3C;  // e_lfanew
constexpr char kPeSignature[] = "PE\0";           // with its terminator: four bytes
constexpr size_t kPeSignatureSize = 4;
constexpr size_t kCoffHeaderSize = 20;
// Within the COFF header.
constexpr size_t kMachineOffset = 0;
constexpr size_t kSectionCountOffset = 2;
constexpr size_t kOptionalHeaderSizeOffset = 16;
constexpr size_t kCharacteristicsOffset = 18;
// Within a section header.
constexpr size_t kRawSizeOffset = 16;
constexpr size_t kRawAtOffset = 20;

}  // namespace

PeHeaders ReadPeHeaders(const uint8_t* file, size_t size) {
    PeHeaders headers;
    if (!Fits(size, 0, kDosHeaderSize) || std::memcmp(file, kDosMagic, 2) != 0) {
        return headers;
    }
    headers.peAt = ReadLe32(file + kNewHeaderPointerOffset);
    // The signature, the COFF header and the optional header's magic must fit.
    if (!Fits(size, headers.peAt, kPeSignatureSize + kCoffHeaderSize + 2)) {
        headers.stop = PeHeaders::Stop::kPeOutsideFile;
        return headers;
    }
    const uint8_t* pe = file + headers.peAt;
    if (std::memcmp(pe, kPeSignature, kPeSignatureSize) != 0) {
        headers.stop = PeHeaders::Stop::kNoPeSignature;
        return headers;
    }
    const uint8_t* coff = pe + kPeSignatureSize;
    headers.machine = ReadLe16(coff + kMachineOffset);
    headers.sectionCount = ReadLe16(coff + kSectionCountOffset);
    headers.optionalSize = ReadLe16(coff + kOptionalHeaderSizeOffset);
    headers.characteristics = ReadLe16(coff + kCharacteristicsOffset);
    headers.optionalAt = uint64_t(headers.peAt) + kPeSignatureSize + kCoffHeaderSize;
    headers.sectionTableAt = headers.optionalAt + headers.optionalSize;
    headers.magic = ReadLe16(file + headers.optionalAt);
    headers.stop = headers.magic == kPe32Magic || headers.magic == kPe32PlusMagic
                       ? PeHeaders::Stop::kComplete
                       : PeHeaders::Stop::kUnknownMagic;
    return headers;
}

bool ReadPeSection(const uint8_t* file, size_t size, const PeHeaders& headers, uint16_t index,
                   PeSection& section) {
    const uint64_t at = headers.sectionTableAt + uint64_t(index) * kSectionHeaderSize;
    if (!Fits(size, at, kSectionHeaderSize)) {
        return false;
    }
    std::memcpy(section.name, file + at, kSectionNameSize);
    section.name[kSectionNameSize] = '\0';
    section.rawSize = ReadLe32(file + at + kRawSizeOffset);
    section.rawAt = ReadLe32(file + at + kRawAtOffset);
    return true;
}

size_t DirectoryCountOffset(uint16_t magic) { return magic == kPe32PlusMagic ? 108 : 92; }
size_t SecurityEntryOffset(uint16_t magic) {
    const size_t directories = magic == kPe32PlusMagic ? 112 : 96;
    return directories + kSecurityDirectory * kDirectoryEntrySize;
}

}  // namespace linkmoor::package
