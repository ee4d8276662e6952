#include "package_test_support.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "package/md5.h"
#include "package/package_format.h"

namespace linkmoor::test {

Bytes GeneratedContents(size_t size, uint32_t seed) {
    uint32_t x = seed != 0 ? seed : 1;
    uint8_t block[65536];
    for (uint8_t& b : block) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = uint8_t(x);
    }
    Bytes out(size);
    for (size_t i = 0; i < size; ++i) {
        out[i] = uint8_t(block[i % 65536] ^ ((i >> 16) & 0xFF));
    }
    return out;
}

Bytes ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open " + path);
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string MadePackage(const char* file) {
#ifdef LINKMOOR_MADE_PACKAGES
    return std::string(LINKMOOR_MADE_PACKAGES) + "/" + file;
#else
    return file;
#endif
}

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

void ResealBody(Bytes& package, size_t headerAt) {
    using namespace linkmoor::package;
    const uint8_t* header = package.data() + headerAt;
    const uint32_t bodyLength = ReadLe32(header + kBodyLengthOffset);
    const Md5Digest digest = CMd5::Of(header + kHeaderSize, bodyLength);
    std::copy(digest.begin(), digest.end(), package.begin() + headerAt + kBodyDigestOffset);
}

void PutLe32(Bytes& bytes, size_t offset, uint32_t value) {
    linkmoor::package::WriteLe32(bytes.data() + offset, value);
}

}  // namespace linkmoor::test
