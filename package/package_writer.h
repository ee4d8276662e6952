#pragma once
// Writes packages the reader accepts: each file as one zlib stream (maximum compression, 32 KiB
// window) with the MD5 of its contents, the records back to back as the body, and the header
// with its key byte, check block, body length, entry count and body digest.

#include <cstdint>
#include <string>
#include <vector>

namespace linkmoor::package {

struct PackageInput {
    std::string name;               // the entry name, stored byte for byte
    std::vector<uint8_t> contents;  // never empty: an empty entry cannot be carried
};

struct WriteResult {
    bool ok = false;
    std::string error;              // a sentence for the user when !ok
    std::vector<uint8_t> bytes;     // header and body
};

// Builds a whole package in the given order. Refuses empty contents, duplicate names and any
// size over the format's 32-bit limits.
WriteResult BuildPackage(const std::vector<PackageInput>& entries, uint8_t keyByte);

// One complete zlib stream of `size` bytes at maximum compression (the stream starts 78 DA).
std::vector<uint8_t> CompressStream(const uint8_t* data, size_t size);

}  // namespace linkmoor::package
