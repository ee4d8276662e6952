#include "package_test_support.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "package/md5.h"
#include "package/package_format.h"
#include "package/pe_headers.h"

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

Bytes PeImage(const PeShape& shape) {
    constexpr size_t kOptionalAt = kPeAt + 24;
    Bytes image(kPeImageSize, 0);
    image[0] = 'M';
    image[1] = 'Z';
    PutLe32(image, 0x3C, kPeAt);
    image[kPeAt] = 'P';
    image[kPeAt + 1] = 'E';
    const uint16_t optionalSize =
        shape.optionalSize ? shape.optionalSize : (shape.plus ? 240 : 224);
    image[kPeAt + 20] = uint8_t(optionalSize);
    image[kPeAt + 21] = uint8_t(optionalSize >> 8);
    image[kOptionalAt] = 0x0B;
    image[kOptionalAt + 1] = shape.plus ? 0x02 : 0x01;
    PutLe32(image, kOptionalAt + (shape.plus ? 108 : 92), shape.directories);
    PutCertificateTable(image, shape.tableOffset, shape.tableSize, shape.plus);
    return image;
}

void PutCertificateTable(Bytes& image, uint32_t offset, uint32_t size, bool plus) {
    const size_t security = kPeAt + 24 + (plus ? 112 : 96) + 4 * 8;
    PutLe32(image, security, offset);
    PutLe32(image, security + 4, size);
}

Bytes CertificateTableBytes(uint32_t size) {
    Bytes table(size, 0xA5);
    PutLe32(table, 0, size);
    PutLe32(table, 4, 0x0200 | 0x0002u << 16);  // wRevision, wCertificateType
    return table;
}

Bytes LauncherImage(size_t rawSize, bool plus) {
    using namespace linkmoor::package;
    Bytes image = PeImage({plus});
    const size_t coff = kPeAt + 4;
    const size_t optional = coff + 20;
    const size_t section = optional + (plus ? 240 : 224);
    PutLe32(image, coff, (plus ? kMachineAmd64 : kMachineI386) | 1u << 16);  // Machine, NumberOfSections 1
    image[coff + 18] = uint8_t(kImageFileExecutable);
    PutLe32(image, optional + kSizeOfHeadersOffset, uint32_t(kPeImageSize));
    std::copy_n(".text", 5, image.begin() + section);
    PutLe32(image, section + 8, uint32_t(rawSize));    // VirtualSize
    PutLe32(image, section + 12, 0x1000);               // VirtualAddress
    PutLe32(image, section + 16, uint32_t(rawSize));    // SizeOfRawData
    PutLe32(image, section + 20, uint32_t(kPeImageSize));  // PointerToRawData
    Bytes data = GeneratedContents(rawSize, 11);
    std::copy(kMagic, kMagic + kMagicSize, data.begin() + rawSize / 2);
    image.insert(image.end(), data.begin(), data.end());
    return image;
}

}  // namespace linkmoor::test
