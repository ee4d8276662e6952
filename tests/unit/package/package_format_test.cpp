// The header scan: which place in a file, if any, holds the package header.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "package/package_format.h"
#include "package_test_support.h"

namespace linkmoor::package {
namespace {

using test::Bytes;

const char kMagicText[] = "Fernhollow LLC installer system";  // spelled here, byte for byte

// Magic text, key byte and check block: the 64 bytes that make a candidate acceptable.
Bytes CheckedHeader(uint8_t key) {
    Bytes out(kMagicText, kMagicText + 31);
    out.push_back(key);
    for (size_t i = 0; i < 32; ++i) {
        out.push_back(uint8_t(out[i] ^ key));
    }
    return out;
}

Bytes Text(const char* text) { return Bytes(text, text + std::strlen(text)); }

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Bytes Changed(Bytes bytes, size_t at) {
    bytes[at] ^= 0x01;
    return bytes;
}

Bytes Cut(Bytes bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

struct ScanCase {
    const char* what;
    Bytes file;
    size_t expected;
};

TEST(FindHeader, ScanCases) {
    const Bytes valid = CheckedHeader(0x5C);
    // The reader's own constant: the magic text with its terminator, then unrelated data.
    const Bytes constant = Cat({Text(kMagicText), Bytes(1, 0), Bytes(40, 0)});
    const ScanCase cases[] = {
        {"at the start", valid, 0},
        {"after other bytes", Cat({Text("MZ\x90"), valid}), 3},
        {"after a lone first character", Cat({Text("F"), valid}), 1},
        {"after a longer partial copy", Cat({Text("Fernhollow LLC inst"), valid}), 19},
        {"inside a partial copy that fails on its first character",
         Cat({Text("Fernhollow"), valid}), 10},
        {"after a copy that fails on its last character",
         Cat({Text("Fernhollow LLC installer systeX"), valid}), 31},
        {"magic text without a check field", constant, kNotFound},
        {"constant first, package later", Cat({constant, valid}), constant.size()},
        {"first check byte wrong", Changed(valid, 32), kNotFound},
        {"last check byte wrong", Changed(valid, 63), kNotFound},
        {"key byte changed alone", Changed(valid, 31), kNotFound},
        {"rejected candidate, then a valid one", Cat({Changed(valid, 40), valid}), 64},
        {"two valid headers: the first wins", Cat({CheckedHeader(1), CheckedHeader(2)}), 0},
        {"key byte 0", CheckedHeader(0), 0},
        {"key byte 0xFF", CheckedHeader(0xFF), 0},
        {"exactly 64 bytes from the candidate to the end", Cat({Text("xx"), valid}), 2},
        {"63 bytes from the candidate to the end", Cat({Text("xx"), Cut(valid, 63)}), kNotFound},
        {"short candidate after a rejected one",
         Cat({Changed(valid, 50), Cut(valid, 63)}), kNotFound},
        {"magic text cut at the end", Cut(valid, 30), kNotFound},
        {"empty file", Bytes(), kNotFound},
        {"no magic at all", Bytes(500, 'F'), kNotFound},
    };
    for (const ScanCase& c : cases) {
        EXPECT_EQ(FindHeader(c.file.data(), c.file.size()), c.expected) << c.what;
    }
}

TEST(FindHeader, ReadsNothingPastTheEnd) {
    // An exactly sized heap copy lets the address sanitizer see any read beyond it.
    const Bytes valid = CheckedHeader(0x33);
    for (size_t size = 0; size <= valid.size(); ++size) {
        std::unique_ptr<uint8_t[]> exact(new uint8_t[size + (size == 0)]);
        if (size != 0) {
            std::memcpy(exact.get(), valid.data(), size);
        }
        EXPECT_EQ(FindHeader(exact.get(), size), size == 64 ? 0 : kNotFound) << size;
    }
}

TEST(CheckFieldHolds, EveryCheckedByteCounts) {
    const Bytes valid = CheckedHeader(0xA7);
    EXPECT_TRUE(CheckFieldHolds(valid.data()));
    for (size_t at = 0; at < 64; ++at) {
        EXPECT_FALSE(CheckFieldHolds(Changed(valid, at).data())) << "byte " << at;
    }
}

}  // namespace
}  // namespace linkmoor::package
