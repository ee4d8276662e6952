// The writer: what it refuses, the bytes of what it writes, and what the reader makes of it.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>

#include "package/md5.h"
#include "package/package_format.h"
#include "package/package_writer.h"
#include "package/packed_tools.h"
#include "package_test_support.h"

namespace linkmoor::package {
namespace {

using test::Bytes;

PackageInput In(const std::string& name, const std::string& contents) {
    return {name, test::ToBytes(contents)};
}

TEST(PackageWriter, HeaderAndRecordBytes) {
    const WriteResult written = BuildPackage({In("ab", "hello")}, 0x21);
    ASSERT_TRUE(written.ok) << written.error;
    const Bytes& b = written.bytes;
    ASSERT_GE(b.size(), 88u + 24 + 2 + 2);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 31), "Fernhollow LLC installer system");
    EXPECT_EQ(b[31], 0x21);
    EXPECT_EQ(b[32], 'F' ^ 0x21);
    EXPECT_EQ(b[62], 'm' ^ 0x21);
    EXPECT_EQ(b[63], 0);  // the key byte XOR itself
    EXPECT_EQ(ReadLe32(&b[64]), b.size() - 88);
    EXPECT_EQ(ReadLe32(&b[68]), 1u);
    const Md5Digest body = CMd5::Of(&b[88], b.size() - 88);
    EXPECT_TRUE(std::equal(body.begin(), body.end(), b.begin() + 72));
    // The record: compressed length, name length, MD5 of "hello", name, a 78 DA stream.
    EXPECT_EQ(ReadLe32(&b[88]), b.size() - 88 - 24 - 2);
    EXPECT_EQ(ReadLe32(&b[92]), 2u);
    const uint8_t helloDigest[16] = {0x5d, 0x41, 0x40, 0x2a, 0xbc, 0x4b, 0x2a, 0x76,
                                     0xb9, 0x71, 0x9d, 0x91, 0x10, 0x17, 0xc5, 0x92};
    EXPECT_EQ(std::memcmp(&b[96], helloDigest, 16), 0);
    EXPECT_EQ(b[112], 'a');
    EXPECT_EQ(b[113], 'b');
    EXPECT_EQ(b[114], 0x78);
    EXPECT_EQ(b[115], 0xDA);
    // zlib itself can undo the stream.
    uint8_t out[16];
    uLongf outSize = sizeof(out);
    ASSERT_EQ(uncompress(out, &outSize, &b[114], uLong(b.size() - 114)), Z_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), outSize), "hello");
}

TEST(PackageWriter, Refusals) {
    struct Case {
        const char* what;
        std::vector<PackageInput> entries;
        const char* sentencePart;
    } cases[] = {
        {"empty contents", {In("a", "x"), In("empty.dll", "")}, "empty.dll"},
        {"duplicate names", {In("same", "1"), In("other", "2"), In("same", "3")}, "same"},
        {"the same name given twice", {In("a", "1"), In("a", "1")}, "twice"},
    };
    for (const Case& c : cases) {
        const WriteResult written = BuildPackage(c.entries, 0);
        EXPECT_FALSE(written.ok) << c.what;
        EXPECT_TRUE(written.bytes.empty()) << c.what;
        EXPECT_NE(written.error.find(c.sentencePart), std::string::npos)
            << c.what << ": " << written.error;
        EXPECT_EQ(written.error.back(), '.') << c.what;
    }
    // Names that differ only in case are different names.
    EXPECT_TRUE(BuildPackage({In("Name", "1"), In("name", "2")}, 0).ok);
}

TEST(PackageWriter, RoundTripThroughTheReader) {
    const std::vector<PackageInput> entries = {
        {"libcrypto.dll.amd64", test::GeneratedContents(3709800, 7)},
        {"exact", test::GeneratedContents(0x200000, 9)},
        {"\x80\xff binary name", test::ToBytes("x")},
        {"zeros", Bytes(5 * 0x200000, 0)},
    };
    for (int key : {0, 0x5C, 0xFF}) {
        const WriteResult written = BuildPackage(entries, uint8_t(key));
        ASSERT_TRUE(written.ok) << written.error;
        CPackedTools reader;
        ASSERT_EQ(reader.LoadBytes(written.bytes.data(), uint32_t(written.bytes.size()), 0), 1)
            << "key " << key;
        for (const PackageInput& e : entries) {
            const uint8_t* data = nullptr;
            uint32_t size = 0;
            ASSERT_EQ(reader.GetFile(e.name.c_str(), &data, &size), 1) << e.name;
            ASSERT_EQ(size, e.contents.size()) << e.name;
            EXPECT_EQ(std::memcmp(data, e.contents.data(), size), 0) << e.name;
        }
    }
}

TEST(PackageWriter, EmptyListGivesAnEmptyValidPackage) {
    const WriteResult written = BuildPackage({}, 3);
    ASSERT_TRUE(written.ok);
    EXPECT_EQ(written.bytes.size(), 88u);
    CPackedTools reader;
    EXPECT_EQ(reader.LoadBytes(written.bytes.data(), 88, 0), 1);
    EXPECT_TRUE(reader.m_files.empty());
}

TEST(CompressStream, StreamsAreCompleteAndMaximal) {
    for (size_t size : {size_t(0), size_t(1), size_t(65536), size_t(300000)}) {
        const Bytes contents = test::GeneratedContents(size, 11);
        const Bytes stream = CompressStream(contents.data(), contents.size());
        ASSERT_GE(stream.size(), 2u);
        EXPECT_EQ(stream[0], 0x78) << size;
        EXPECT_EQ(stream[1], 0xDA) << size;
        Bytes back(size + 1);
        uLongf backSize = uLongf(back.size());
        ASSERT_EQ(uncompress(back.data(), &backSize, stream.data(), uLong(stream.size())), Z_OK);
        back.resize(backSize);
        EXPECT_TRUE(back == contents) << size;
    }
}

}  // namespace
}  // namespace linkmoor::package
