// The layout's rules: finding the header in a whole file, its check field, the digests, the extent
// of a package and its entry records.
#include "package/package_format.h"

#include <cstring>

#include "package/md5.h"

namespace linkmoor::package {

bool DigestMatches(const uint8_t* data, size_t size, const uint8_t* expected) {
    const Md5Digest digest = CMd5::Of(data, size);
    return std::memcmp(digest.data(), expected, kDigestSize) == 0;
}

bool CheckFieldHolds(const uint8_t* header) {
    const uint8_t key = header[kKeyByteOffset];
    for (size_t i = 0; i < kCheckedSize; ++i) {
        if (header[kCheckBlockOffset + i] != uint8_t(header[i] ^ key)) {
            return false;
        }
    }
    return true;
}

size_t FindHeader(const uint8_t* data, size_t size) {
    // Trying every start position is the same as restarting a failed partial match one byte
    // after where it began, so a match that begins inside a failed one is never missed.
    const auto* magic = reinterpret_cast<const uint8_t*>(kMagic);
    if (size < kMagicSize) {
        return kNotFound;
    }
    const size_t lastStart = size - kMagicSize;
    for (size_t start = 0; start <= lastStart; ++start) {
        const void* hit = std::memchr(data + start, magic[0], lastStart - start + 1);
        if (hit == nullptr) {
            return kNotFound;
        }
        start = size_t(static_cast<const uint8_t*>(hit) - data);
        if (std::memcmp(data + start, magic, kMagicSize) != 0) {
            continue;
        }
        // A candidate without room for its check field ends the search: nothing after it can
        // have that room either.
        if (size - start < kCheckFieldEnd) {
            return kNotFound;
        }
        if (CheckFieldHolds(data + start)) {
            return start;
        }
    }
    return kNotFound;
}

PackageExtent ExtentOf(const uint8_t* header, size_t available) {
    if (available < kHeaderSize) {
        return PackageExtent::kHeaderCut;
    }
    return ReadLe32(header + kBodyLengthOffset) > available - kHeaderSize ? PackageExtent::kBodyCut
                                                                         : PackageExtent::kFits;
}

bool ReadEntryRecord(const uint8_t* body, size_t bodyLength, size_t offset, EntryRecord& record) {
    if (offset > bodyLength || bodyLength - offset < kEntryRecordSize) {
        return false;
    }
    const uint8_t* at = body + offset;
    record.compressedLength = ReadLe32(at + kEntryCompressedLengthOffset);
    record.nameLength = ReadLe32(at + kEntryNameLengthOffset);
    size_t left = bodyLength - offset - kEntryRecordSize;
    if (record.nameLength > left) {
        return false;
    }
    left -= record.nameLength;
    if (record.compressedLength > left) {
        return false;
    }
    record.digest = at + kEntryDigestOffset;
    record.name = at + kEntryRecordSize;
    record.stream = record.name + record.nameLength;
    record.next = offset + kEntryRecordSize + record.nameLength + record.compressedLength;
    return true;
}

}  // namespace linkmoor::package
