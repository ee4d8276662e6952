// The reader on packages made at build time by the independent Python maker, read through the
// file way in (LoadFile).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "package/packed_tools.h"
#include "package_test_support.h"

namespace linkmoor {
namespace {

using test::Bytes;

Bytes Contents(const CPackedTools& reader, const char* name) {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!reader.GetFile(name, &data, &size)) {
        return test::ToBytes("<missing>");
    }
    return Bytes(data, data + size);
}

struct Expected {
    const char* name;
    Bytes contents;
};

struct MadeCase {
    const char* file;
    std::vector<Expected> entries;
};

TEST(PackedToolsMade, ReadsBackByteForByte) {
    using test::GeneratedContents;
    using test::ToBytes;
    const MadeCase cases[] = {
        {"small.pkg",
         {{"libssl.dll.x86", ToBytes("ssl-x86")},
          {"a b", ToBytes("with a space")},
          {"one", Bytes{0x80}},
          {"seeded", GeneratedContents(5000, 3)}}},
        {"large.pkg",
         {{"exact", GeneratedContents(2097152, 1)},
          {"double", GeneratedContents(4194304, 2)},
          {"libcrypto.dll.amd64", GeneratedContents(3709800, 7)},
          {"tail", GeneratedContents(2097153, 4)}}},
        {"stored.pkg", {{"stored", GeneratedContents(3000000, 5)}}},
        {"duplicate.pkg", {{"dup", ToBytes("second")}, {"other", ToBytes("x")}}},
        {"padded.pkg", {{"pad", ToBytes("hello")}, {"next", ToBytes("world")}}},
        {"no_entries.pkg", {}},
    };
    for (const MadeCase& c : cases) {
        CPackedTools reader;
        ASSERT_EQ(reader.LoadFile(test::MadePackage(c.file).c_str(), 0), 1) << c.file;
        EXPECT_EQ(reader.m_status, kPackageOk) << c.file;
        EXPECT_EQ(reader.m_files.size(), c.entries.size()) << c.file;
        for (const Expected& e : c.entries) {
            const Bytes got = Contents(reader, e.name);
            EXPECT_EQ(got.size(), e.contents.size()) << c.file << ": " << e.name;
            EXPECT_TRUE(got == e.contents) << c.file << ": " << e.name << " differs";
        }
    }
}

TEST(PackedToolsMade, Failures) {
    struct Case {
        std::string path;
        int32_t status;
    } cases[] = {
        {test::MadePackage("empty_entry.pkg"), kPackageDamaged},
        {test::MadePackage("no-such-file.pkg"), kPackageNotRead},
        {"/dev/null", kPackageDamaged},  // an empty file
    };
    for (const Case& c : cases) {
        CPackedTools reader;
        EXPECT_EQ(reader.LoadFile(c.path.c_str(), 0), 0) << c.path;
        EXPECT_EQ(reader.m_status, c.status) << c.path;
        EXPECT_TRUE(reader.m_files.empty()) << c.path;
    }
}

TEST(PackedToolsMade, PackageAfterAnImageIsFoundEveryWhereItStarts) {
    // The same package behind images of every length up to 70 bytes made of magic-text pieces.
    const Bytes package = test::ReadWholeFile(test::MadePackage("small.pkg"));
    const std::string pieces = "FFernFernhollow LLC installer systeFernhollow LLC installer system";
    for (size_t length = 0; length <= pieces.size(); ++length) {
        Bytes file(pieces.begin(), pieces.begin() + length);
        file.insert(file.end(), package.begin(), package.end());
        CPackedTools reader;
        ASSERT_EQ(reader.LoadBytes(file.data(), uint32_t(file.size()), 0), 1) << length;
        EXPECT_EQ(reader.m_files.size(), 4u) << length;
    }
}

}  // namespace
}  // namespace linkmoor
