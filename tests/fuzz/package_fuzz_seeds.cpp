// Writes the fuzzer's seed packages, made by our writer, into the folder given.
#include <cstdio>
#include <string>
#include <vector>

#include "package/package_writer.h"
#include "package_test_support.h"

namespace {

using linkmoor::package::BuildPackage;
using linkmoor::package::PackageInput;

std::vector<uint8_t> Text(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SEED-FOLDER\n", argv[0]);
        return 2;
    }
    std::vector<uint8_t> mixed(3000);
    for (size_t i = 0; i < mixed.size(); ++i) {
        mixed[i] = uint8_t((i * i) >> 3);
    }
    const std::vector<std::vector<PackageInput>> seeds = {
        {},
        {{"a", Text("a")}},
        {{"libssl.dll.x86", Text("small contents")}, {"qorvpnptls.inf", Text("[Version]\r\n")}},
        {{"zeros", std::vector<uint8_t>(20000, 0)}},
        {{"mixed", mixed}, {"b", Text("bb")}, {"c", Text("ccc")}},
    };
    int written = 0;
    for (size_t i = 0; i < seeds.size(); ++i) {
        const auto package = BuildPackage(seeds[i], uint8_t(0x30 + i));
        if (!package.ok) {
            std::fprintf(stderr, "%s\n", package.error.c_str());
            return 1;
        }
        std::vector<uint8_t> file = Text("MZ\x90 image before the package ");
        file.insert(file.end(), package.bytes.begin(), package.bytes.end());
        // Odd last byte: the target reseals the body digest of mutated copies.
        file.push_back(uint8_t(i % 2 ? 0x01 : 0x00));
        if (!WriteFile(std::string(argv[1]) + "/seed-" + std::to_string(i), file)) {
            return 1;
        }
        ++written;
    }
    // Signed executables: the security directory names a certificate table just after the
    // package, and one before it (a package the signature does not cover).
    const auto package = BuildPackage(seeds[2], 0x5C);
    const size_t tableSize = 64;
    for (bool covered : {true, false}) {
        const size_t imageSize = linkmoor::test::kPeImageSize;
        const uint32_t tableAt = uint32_t(covered ? imageSize + package.bytes.size() : imageSize);
        std::vector<uint8_t> file =
            linkmoor::test::PeImage({false, 16, 0, tableAt, uint32_t(tableSize)});
        if (!covered) file.insert(file.end(), tableSize, 0xA5);
        file.insert(file.end(), package.bytes.begin(), package.bytes.end());
        if (covered) file.insert(file.end(), tableSize, 0xA5);
        file.push_back(0x01);
        if (!WriteFile(std::string(argv[1]) + "/seed-signed-" + (covered ? "covered" : "after"),
                       file)) {
            return 1;
        }
    }
    return written == int(seeds.size()) ? 0 : 1;
}
