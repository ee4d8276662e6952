#pragma once
// The headers of a Windows executable image (PE format) at the start of a file, read portably:
// the DOS header's pointer to the PE signature, the COFF file header, the optional header and
// the section table. Only what the package code and the package tool need is read.

#include <cstddef>
#include <cstdint>

namespace linkmoor::package {

inline constexpr uint16_t kPe32Magic = 0x10B;      // 32-bit image
inline constexpr uint16_t kPe32PlusMagic = 0x20B;  // 64-bit image
inline constexpr uint16_t kMachineI386 = 0x14C;
inline constexpr uint16_t kMachineAmd64 = 0x8664;
inline constexpr uint16_t kImageFileExecutable = 0x0002;  // COFF characteristics
inline constexpr uint16_t kImageFileDll = 0x2000;
inline constexpr size_t kSectionHeaderSize = 40;
inline constexpr size_t kSectionNameSize = 8;

// What stands at the start of a file, read as far as it fits.
struct PeHeaders {
    enum class Stop {
        kComplete,          // every field below is read
        kNoDosHeader,       // no "MZ" or fewer than 64 bytes
        kPeOutsideFile,     // the DOS header points past the end
        kNoPeSignature,     // no "PE\0\0" where it points
        kUnknownMagic,      // the optional header is neither PE32 nor PE32+
    };
    Stop stop = Stop::kNoDosHeader;
    uint32_t peAt = 0;            // offset of the PE signature
    uint16_t machine = 0;
    uint16_t sectionCount = 0;
    uint16_t optionalSize = 0;    // SizeOfOptionalHeader
    uint16_t characteristics = 0;
    uint16_t magic = 0;
    uint64_t optionalAt = 0;      // offset of the optional header
    uint64_t sectionTableAt = 0;  // offset of the first section header
};

PeHeaders ReadPeHeaders(const uint8_t* file, size_t size);

// One section header's placement in the file.
struct PeSection {
    char name[kSectionNameSize + 1] = {};  // NUL-terminated
    uint32_t rawAt = 0;                    // PointerToRawData
    uint32_t rawSize = 0;                  // SizeOfRawData
};

// Section `index` of the table at `headers.sectionTableAt`; false when its header does not fit.
bool ReadPeSection(const uint8_t* file, size_t size, const PeHeaders& headers, uint16_t index,
                   PeSection& section);

// Within the optional header: SizeOfHeaders, CheckSum, the count of data directories and the
// security directory's entry (offset and size of the certificate table), for PE32 and PE32+.
// Signing a file writes the checksum and that entry and appends the table.
inline constexpr size_t kSizeOfHeadersOffset = 60;
inline constexpr size_t kCheckSumOffset = 64;
inline constexpr size_t kCheckSumSize = 4;
inline constexpr uint32_t kSecurityDirectory = 4;  // its "virtual address" is a file offset
inline constexpr size_t kDirectoryEntrySize = 8;
size_t DirectoryCountOffset(uint16_t magic);
size_t SecurityEntryOffset(uint16_t magic);

// True when [offset, offset + length) lies within `size` bytes.
inline bool Fits(size_t size, uint64_t offset, uint64_t length) {
    return offset <= size && length <= size - offset;
}

inline uint16_t ReadLe16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace linkmoor::package
