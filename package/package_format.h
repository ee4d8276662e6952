#pragma once
// The byte layout of the package appended to the launcher's executable. All integers are
// unsigned 32-bit little-endian; header offsets count from the first byte of the magic text,
// entry offsets from the first byte of the entry record.

#include <cstddef>
#include <cstdint>

namespace linkmoor::package {

// The magic text, 31 characters, stored without a terminator.
inline constexpr char kMagic[] = "Fernhollow LLC installer system";
inline constexpr size_t kMagicSize = sizeof(kMagic) - 1;

inline constexpr size_t kKeyByteOffset = 31;
inline constexpr size_t kCheckBlockOffset = 32;
inline constexpr size_t kCheckedSize = 32;            // bytes 0..31 are mirrored, XOR the key byte
inline constexpr size_t kCheckFieldEnd = 64;          // a candidate needs this many bytes to be examined
inline constexpr size_t kBodyLengthOffset = 64;
inline constexpr size_t kEntryCountOffset = 68;
inline constexpr size_t kBodyDigestOffset = 72;
inline constexpr size_t kHeaderSize = 88;

inline constexpr size_t kEntryCompressedLengthOffset = 0;
inline constexpr size_t kEntryNameLengthOffset = 4;
inline constexpr size_t kEntryDigestOffset = 8;
inline constexpr size_t kEntryRecordSize = 24;        // fixed part, followed by name and stream

inline constexpr size_t kDigestSize = 16;

// True when the MD5 of the `size` bytes at `data` is the kDigestSize bytes at `expected`.
bool DigestMatches(const uint8_t* data, size_t size, const uint8_t* expected);

inline uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void WriteLe32(uint8_t* p, uint32_t value) {
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
    p[2] = uint8_t(value >> 16);
    p[3] = uint8_t(value >> 24);
}

// Bytes from the first byte of the header at `header` to the end of its body.
inline uint64_t PackageLength(const uint8_t* header) {
    return kHeaderSize + uint64_t(ReadLe32(header + kBodyLengthOffset));
}

// Offset of the first header whose magic text is followed by a valid check field, or
// kNotFound. Every position is tried as the start of the magic text; a candidate fewer than
// kCheckFieldEnd bytes before the end is not examined.
inline constexpr size_t kNotFound = static_cast<size_t>(-1);
size_t FindHeader(const uint8_t* data, size_t size);

// True when bytes 32..63 of the header at `header` mirror bytes 0..31 XOR the key byte.
bool CheckFieldHolds(const uint8_t* header);

// Whether the package whose header starts `available` bytes before the end of the file lies
// within them: its header first, then the body its header counts.
enum class PackageExtent { kFits, kHeaderCut, kBodyCut };
PackageExtent ExtentOf(const uint8_t* header, size_t available);

// One entry record inside a body, where the layout places its parts.
struct EntryRecord {
    const uint8_t* digest = nullptr;  // kDigestSize bytes: the MD5 of the contents
    const uint8_t* name = nullptr;
    uint32_t nameLength = 0;
    const uint8_t* stream = nullptr;  // the zlib stream, padding after it included
    uint32_t compressedLength = 0;
    size_t next = 0;                  // offset of the following record within the body
};

// Reads the record at `offset` of a body of `bodyLength` bytes. False when its fixed part, its
// name or its stream would run past the end of the body. No subtraction goes below zero, so
// sizes near 4 GiB cannot wrap an offset back into the body.
bool ReadEntryRecord(const uint8_t* body, size_t bodyLength, size_t offset, EntryRecord& record);

}  // namespace linkmoor::package
