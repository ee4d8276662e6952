#pragma once
// What MD5 and SHA-256 share: both digest 64-byte blocks, keep the bytes of an unfinished block,
// and end with a 0x80 byte, zeros up to 56 bytes modulo 64 and the message length in bits.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace linkmoor::digest {

inline constexpr size_t kBlockSize = 64;

// Adds `size` bytes: completes the held block first, then whole blocks straight from `in`, and
// keeps the rest. `length` counts every byte added so far.
template <typename Transform>
void AddInBlocks(uint8_t (&block)[kBlockSize], uint64_t& length, const uint8_t* in, size_t size,
                 Transform transform) {
    size_t held = size_t(length % kBlockSize);
    length += size;
    if (held != 0) {
        const size_t take = size < kBlockSize - held ? size : kBlockSize - held;
        std::memcpy(block + held, in, take);
        in += take;
        size -= take;
        if (held + take < kBlockSize) {
            return;
        }
        transform(block);
    }
    for (; size >= kBlockSize; in += kBlockSize, size -= kBlockSize) {
        transform(in);
    }
    if (size != 0) {
        std::memcpy(block, in, size);
    }
}

// The padding that ends a message of `length` bytes, the bit count written in the byte order
// the digest uses. Returns how many bytes of `padding` to add.
inline size_t Padding(uint64_t length, bool bigEndianLength, uint8_t (&padding)[72]) {
    std::memset(padding, 0, sizeof(padding));
    padding[0] = 0x80;
    const size_t held = size_t(length % kBlockSize);
    const size_t padLength = held < 56 ? 56 - held : 120 - held;
    const uint64_t bits = length * 8;
    for (int i = 0; i < 8; ++i) {
        padding[padLength + (bigEndianLength ? 7 - i : i)] = uint8_t(bits >> (8 * i));
    }
    return padLength + 8;
}

// The state words as the digest's bytes, each word in the digest's byte order.
template <size_t Words>
void StoreWords(const uint32_t (&words)[Words], bool bigEndian, uint8_t* out) {
    for (size_t i = 0; i < Words; ++i) {
        for (size_t j = 0; j < 4; ++j) {
            out[4 * i + j] = uint8_t(words[i] >> (bigEndian ? 24 - 8 * j : 8 * j));
        }
    }
}

}  // namespace linkmoor::digest
