#pragma once
// SHA-256 message digest (FIPS 180-4) with an incremental interface like CMd5's: Start, Add any
// number of times, Finish into the 32 raw digest bytes. The package tool reports it beside MD5.

#include <array>
#include <cstddef>
#include <cstdint>

namespace linkmoor {

using Sha256Digest = std::array<uint8_t, 32>;

class CSha256 {
public:
    CSha256() { Start(); }

    void Start();
    void Add(const void* data, size_t size);
    Sha256Digest Finish();

    // The digest of one byte range.
    static Sha256Digest Of(const void* data, size_t size);

private:
    void Transform(const uint8_t block[64]);

    uint32_t m_state[8];
    uint64_t m_length;   // bytes added so far
    uint8_t m_block[64]; // bytes of an unfinished block
};

}  // namespace linkmoor
