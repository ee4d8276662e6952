#pragma once
// MD5 message digest (RFC 1321) with an incremental interface: Start, Add any number of times,
// Finish into the 16 raw digest bytes.

#include <array>
#include <cstddef>
#include <cstdint>

namespace linkmoor {

using Md5Digest = std::array<uint8_t, 16>;

class CMd5 {
public:
    CMd5() { Start(); }

    void Start();
    void Add(const void* data, size_t size);
    Md5Digest Finish();

    // The digest of one byte range.
    static Md5Digest Of(const void* data, size_t size);

private:
    void Transform(const uint8_t block[64]);

    uint32_t m_state[4];
    uint64_t m_length;   // bytes added so far
    uint8_t m_block[64]; // bytes of an unfinished block
};

}  // namespace linkmoor
