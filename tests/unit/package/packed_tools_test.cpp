// The reader on packages held in memory: fixed bytes, packages from our writer, and packages
// changed on purpose.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <string>

#include "package/md5.h"
#include "package/package_format.h"
#include "package/package_writer.h"
#include "package/packed_tools.h"
#include "package_test_support.h"

namespace linkmoor {
namespace {

using package::PackageInput;
using test::Bytes;

// Made with Python's zlib and hashlib alone: key 0x21, entries "hi.txt" = "hi" and
// "x" = "abcabcabcabc". Its digests can be checked by hand with any MD5 tool.
const uint8_t kFixedPackage[] = {
    0x46, 0x65, 0x72, 0x6e, 0x68, 0x6f, 0x6c, 0x6c, 0x6f, 0x77, 0x20, 0x4c, 0x4c, 0x43, 0x20, 0x69,
    0x6e, 0x73, 0x74, 0x61, 0x6c, 0x6c, 0x65, 0x72, 0x20, 0x73, 0x79, 0x73, 0x74, 0x65, 0x6d, 0x21,
    0x67, 0x44, 0x53, 0x4f, 0x49, 0x4e, 0x4d, 0x4d, 0x4e, 0x56, 0x01, 0x6d, 0x6d, 0x62, 0x01, 0x48,
    0x4f, 0x52, 0x55, 0x40, 0x4d, 0x4d, 0x44, 0x53, 0x01, 0x52, 0x58, 0x52, 0x55, 0x44, 0x4c, 0x00,
    0x4e, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x07, 0x45, 0x0a, 0x58, 0x2b, 0xb2, 0x10, 0x2b,
    0xeb, 0xc3, 0x76, 0xd0, 0x27, 0xbe, 0x76, 0x71, 0x0a, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00,
    0x49, 0xf6, 0x8a, 0x5c, 0x84, 0x93, 0xec, 0x2c, 0x0b, 0xf4, 0x89, 0x82, 0x1c, 0x21, 0xfc, 0x3b,
    0x68, 0x69, 0x2e, 0x74, 0x78, 0x74, 0x78, 0xda, 0xcb, 0xc8, 0x04, 0x00, 0x01, 0x3b, 0x00, 0xd2,
    0x0d, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xae, 0x82, 0x0d, 0xda, 0xed, 0x74, 0x86, 0xbc,
    0xa2, 0xe9, 0xb1, 0x5c, 0xd8, 0x77, 0xc8, 0xc1, 0x78, 0x78, 0xda, 0x4b, 0x4c, 0x4a, 0x4e, 0x84,
    0x21, 0x00, 0x1d, 0xe0, 0x04, 0x99,
};
constexpr size_t kFixedFirstRecord = 88;
constexpr size_t kFixedSecondRecord = 88 + 24 + 6 + 10;

Bytes Fixed() { return Bytes(std::begin(kFixedPackage), std::end(kFixedPackage)); }

std::string Contents(const CPackedTools& reader, const char* name) {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!reader.GetFile(name, &data, &size)) {
        return "<missing>";
    }
    return std::string(reinterpret_cast<const char*>(data), size);
}

Bytes Written(const std::vector<PackageInput>& entries, uint8_t key = 0x42) {
    const package::WriteResult written = package::BuildPackage(entries, key);
    EXPECT_TRUE(written.ok) << written.error;
    return written.bytes;
}

PackageInput In(const std::string& name, const std::string& contents) {
    return {name, test::ToBytes(contents)};
}

int Load(CPackedTools& reader, const Bytes& file, int verifyOnly = 0) {
    // An exactly sized heap copy, so a read past the end is seen by the address sanitizer.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[file.size() + (file.empty() ? 1 : 0)]);
    if (!file.empty()) {
        std::memcpy(exact.get(), file.data(), file.size());
    }
    return reader.LoadBytes(exact.get(), uint32_t(file.size()), verifyOnly);
}

TEST(PackedTools, ConstructionGivesAnEmptyUsableReader) {
    CPackedTools reader;
    EXPECT_EQ(reader.m_status, kPackageOk);
    EXPECT_NE(reader.m_outBuffer, nullptr);
    EXPECT_EQ(reader.m_outBufferSize, 0x200000u);
    EXPECT_TRUE(reader.m_files.empty());
}

TEST(PackedTools, ReadsFixedBytesMadeElsewhere) {
    CPackedTools reader;
    ASSERT_EQ(Load(reader, Fixed()), 1);
    EXPECT_EQ(reader.m_status, kPackageOk);
    EXPECT_EQ(reader.m_files.size(), 2u);
    EXPECT_EQ(Contents(reader, "hi.txt"), "hi");
    EXPECT_EQ(Contents(reader, "x"), "abcabcabcabc");
}

TEST(PackedTools, PackageFoundInsideOtherBytesWithATrailer) {
    // An image holding the reader's constant and partial copies before the package, and a
    // signature-like tail after the body.
    Bytes file = test::ToBytes(std::string("MZ image ") + package::kMagic + '\0' + "data FFernhollow LLC");
    const Bytes fixed = Fixed();
    file.insert(file.end(), fixed.begin(), fixed.end());
    file.insert(file.end(), 300, 0xA5);
    CPackedTools reader;
    ASSERT_EQ(Load(reader, file), 1);
    EXPECT_EQ(Contents(reader, "hi.txt"), "hi");
}

struct DamageCase {
    const char* what;
    Bytes file;
    int32_t status;
};

Bytes Resealed(Bytes bytes) {
    test::ResealBody(bytes);
    return bytes;
}

Bytes With32(Bytes bytes, size_t offset, uint32_t value, bool reseal = true) {
    test::PutLe32(bytes, offset, value);
    return reseal ? Resealed(bytes) : bytes;
}

Bytes CutTo(Bytes bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

Bytes Flipped(Bytes bytes, size_t at, bool reseal) {
    bytes[at] ^= 0x40;
    return reseal ? Resealed(bytes) : bytes;
}

// A package whose single record is given whole: the body digest is right, whatever the record.
Bytes OneRecord(const Bytes& compressed, const std::string& name, const Bytes& contents) {
    Bytes record(24);
    test::PutLe32(record, 0, uint32_t(compressed.size()));
    test::PutLe32(record, 4, uint32_t(name.size()));
    const Md5Digest digest = CMd5::Of(contents.data(), contents.size());
    std::copy(digest.begin(), digest.end(), record.begin() + 8);
    record.insert(record.end(), name.begin(), name.end());
    record.insert(record.end(), compressed.begin(), compressed.end());
    Bytes file = Fixed();
    file.resize(package::kHeaderSize);
    test::PutLe32(file, package::kBodyLengthOffset, uint32_t(record.size()));
    test::PutLe32(file, package::kEntryCountOffset, 1);
    file.insert(file.end(), record.begin(), record.end());
    return Resealed(file);
}

Bytes ZlibOf(const Bytes& contents, int windowBits = 15, const char* dictionary = nullptr) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    if (dictionary) {
        deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary),
                             uInt(std::strlen(dictionary)));
    }
    Bytes out(deflateBound(&z, uLong(contents.size())) + 64);
    z.next_in = const_cast<Bytef*>(contents.data());
    z.avail_in = uInt(contents.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

TEST(PackedTools, DamagedPackages) {
    using namespace package;
    const Bytes fixed = Fixed();
    const Bytes hello = test::ToBytes("hello, hello, hello");
    const Bytes helloStream = ZlibOf(hello);
    const size_t firstStream = kFixedFirstRecord + 24 + 6;
    const DamageCase cases[] = {
        {"empty file", Bytes(), kPackageDamaged},
        {"no magic text", Bytes(4000, 0x11), kPackageDamaged},
        {"magic text without a valid check field",
         test::ToBytes(std::string(kMagic) + std::string(100, '\0')), kPackageDamaged},
        {"header cut inside the digest", CutTo(fixed, 80), kPackageDamaged},
        {"body cut short", CutTo(fixed, fixed.size() - 1), kPackageDamaged},
        {"body length past the end", With32(fixed, kBodyLengthOffset, 0x4F, false),
         kPackageDamaged},
        {"body length near 4 GiB", With32(fixed, kBodyLengthOffset, 0xFFFFFFF0u, false),
         kPackageDamaged},
        {"body digest wrong", Flipped(fixed, kBodyDigestOffset + 3, false), kPackageDamaged},
        {"more entries than records", With32(fixed, kEntryCountOffset, 3, false),
         kPackageDamaged},
        {"entry count near 4 GiB", With32(fixed, kEntryCountOffset, 0xFFFFFFFFu, false),
         kPackageDamaged},
        {"name length past the body", With32(fixed, kFixedSecondRecord + 4, 100),
         kPackageDamaged},
        {"name length near 4 GiB", With32(fixed, kFixedSecondRecord + 4, 0xFFFFFFFFu),
         kPackageDamaged},
        {"compressed length past the body", With32(fixed, kFixedSecondRecord, 14),
         kPackageDamaged},
        {"compressed length near 4 GiB", With32(fixed, kFixedFirstRecord, 0xFFFFFFE8u),
         kPackageDamaged},
        {"compressed length shorter than the stream", With32(fixed, kFixedFirstRecord, 6),
         kPackageDamaged},
        {"data digest wrong (body resealed)", Flipped(fixed, kFixedSecondRecord + 8, true),
         kPackageDamaged},
        {"stream bytes changed (body resealed)", Flipped(fixed, firstStream + 3, true),
         kPackageDamaged},
        {"stream trailer changed (body resealed)", Flipped(fixed, firstStream + 9, true),
         kPackageDamaged},
        {"empty contents", OneRecord(ZlibOf(Bytes()), "empty", Bytes()), kPackageDamaged},
        {"zero compressed bytes", OneRecord(Bytes(), "nothing", hello), kPackageDamaged},
        {"stream cut before its end",
         OneRecord(Bytes(helloStream.begin(), helloStream.end() - 5), "cut", hello),
         kPackageDamaged},
        {"raw deflate without the zlib wrapper", OneRecord(ZlibOf(hello, -15), "raw", hello),
         kPackageDamaged},
        {"gzip wrapper", OneRecord(ZlibOf(hello, 31), "gz", hello), kPackageDamaged},
        {"stream with a preset dictionary", OneRecord(ZlibOf(hello, 15, "hello"), "dict", hello),
         kPackageDamaged},
    };
    for (const DamageCase& c : cases) {
        CPackedTools reader;
        // Entries of an earlier load must go too: after a failed load the index is empty.
        ASSERT_EQ(Load(reader, Written({In("earlier", "kept until the next load fails")})), 1);
        EXPECT_EQ(Load(reader, c.file), 0) << c.what;
        EXPECT_EQ(reader.m_status, c.status) << c.what;
        EXPECT_TRUE(reader.m_files.empty()) << c.what;
        // Verify-only gives the same verdict.
        EXPECT_EQ(Load(reader, c.file, 1), 0) << c.what;
        EXPECT_EQ(reader.m_status, c.status) << c.what;
    }
}

TEST(PackedTools, OneChangedByteAnywhereInTheBodyIsDamage) {
    const Bytes fixed = Fixed();
    for (size_t at = package::kHeaderSize; at < fixed.size(); ++at) {
        Bytes changed = fixed;
        changed[at] ^= 0x01;
        CPackedTools reader;
        EXPECT_EQ(Load(reader, changed), 0) << "byte " << at;
        EXPECT_EQ(reader.m_status, kPackageDamaged) << "byte " << at;
        EXPECT_TRUE(reader.m_files.empty()) << "byte " << at;
    }
}

TEST(PackedTools, AcceptedOddities) {
    const Bytes hello = test::ToBytes("hello, hello, hello");
    Bytes padded = ZlibOf(hello);
    padded.insert(padded.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    struct Case {
        const char* what;
        Bytes file;
        size_t entries;
    } cases[] = {
        {"compressed length longer than the stream", OneRecord(padded, "padded", hello), 1},
        {"no entries, empty body", With32(With32(CutTo(Fixed(), 88), 64, 0), 68, 0), 0},
        {"no entries, body present but unread", With32(Fixed(), package::kEntryCountOffset, 0), 0},
        {"fewer entries than records", With32(Fixed(), package::kEntryCountOffset, 1), 1},
        {"bytes after the body", [] { Bytes b = Fixed(); b.resize(b.size() + 777, 0x5A); return b; }(), 2},
        {"an empty name", Written({In("", "nameless")}), 1},
    };
    for (const Case& c : cases) {
        CPackedTools reader;
        EXPECT_EQ(Load(reader, c.file), 1) << c.what;
        EXPECT_EQ(reader.m_status, kPackageOk) << c.what;
        EXPECT_EQ(reader.m_files.size(), c.entries) << c.what;
    }
}

TEST(PackedTools, ExtraStreamBytesAreSkippedAndTheNextRecordFollows) {
    // Record 1 carries 4 bytes after its stream inside its compressed length; record 2 must
    // still be found right after them.
    const Bytes first = test::ToBytes("first contents");
    const Bytes second = test::ToBytes("second contents");
    Bytes body;
    auto add = [&body](const std::string& name, const Bytes& contents, Bytes stream) {
        Bytes record(24);
        test::PutLe32(record, 0, uint32_t(stream.size()));
        test::PutLe32(record, 4, uint32_t(name.size()));
        const Md5Digest digest = CMd5::Of(contents.data(), contents.size());
        std::copy(digest.begin(), digest.end(), record.begin() + 8);
        record.insert(record.end(), name.begin(), name.end());
        record.insert(record.end(), stream.begin(), stream.end());
        body.insert(body.end(), record.begin(), record.end());
    };
    Bytes padded = ZlibOf(first);
    padded.insert(padded.end(), {0x78, 0xDA, 0x00, 0x00});
    add("one", first, padded);
    add("two", second, ZlibOf(second));
    Bytes file = Fixed();
    file.resize(package::kHeaderSize);
    test::PutLe32(file, package::kBodyLengthOffset, uint32_t(body.size()));
    test::PutLe32(file, package::kEntryCountOffset, 2);
    file.insert(file.end(), body.begin(), body.end());
    test::ResealBody(file);
    CPackedTools reader;
    ASSERT_EQ(Load(reader, file), 1);
    EXPECT_EQ(Contents(reader, "one"), "first contents");
    EXPECT_EQ(Contents(reader, "two"), "second contents");
}

TEST(PackedTools, FailureAtTheLastEntryEmptiesTheIndex) {
    Bytes file = Fixed();
    file[kFixedSecondRecord + 8] ^= 0xFF;  // the last entry's data digest
    test::ResealBody(file);
    CPackedTools reader;
    EXPECT_EQ(Load(reader, file), 0);
    EXPECT_EQ(reader.m_status, kPackageDamaged);
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(reader.GetFile("hi.txt", &data, &size), 0);
}

TEST(PackedTools, VerifyOnlyChecksEverythingAndKeepsNothing) {
    CPackedTools reader;
    EXPECT_EQ(Load(reader, Fixed(), 1), 1);
    EXPECT_EQ(reader.m_status, kPackageOk);
    EXPECT_TRUE(reader.m_files.empty());
    // Only the value 1 means verify-only.
    EXPECT_EQ(Load(reader, Fixed(), 2), 1);
    EXPECT_EQ(reader.m_files.size(), 2u);
}

TEST(PackedTools, LaterLoadKeepsEarlierEntriesAndReplacesSameNames) {
    CPackedTools reader;
    ASSERT_EQ(Load(reader, Written({In("hi.txt", "old"), In("only-old", "o")})), 1);
    ASSERT_EQ(Load(reader, Fixed()), 1);
    EXPECT_EQ(reader.m_files.size(), 3u);
    EXPECT_EQ(Contents(reader, "hi.txt"), "hi");
    EXPECT_EQ(Contents(reader, "only-old"), "o");
}

TEST(PackedTools, DuplicateNameTakesTheLaterContents) {
    // Our writer refuses duplicates, so the package is put together record by record.
    const Bytes fixed = Fixed();
    Bytes file(fixed.begin(), fixed.begin() + package::kHeaderSize);
    const Bytes first(fixed.begin() + kFixedFirstRecord, fixed.begin() + kFixedSecondRecord);
    Bytes second(fixed.begin() + kFixedSecondRecord, fixed.end());
    // Rename "x" to "hi.txt" is not possible in place (lengths differ): build the second record
    // anew under the first record's name.
    Bytes renamed(second.begin(), second.begin() + 24);
    test::PutLe32(renamed, 4, 6);
    renamed.insert(renamed.end(), {'h', 'i', '.', 't', 'x', 't'});
    renamed.insert(renamed.end(), second.begin() + 25, second.end());
    file.insert(file.end(), first.begin(), first.end());
    file.insert(file.end(), renamed.begin(), renamed.end());
    file.insert(file.end(), first.begin(), first.end());
    file.insert(file.end(), renamed.begin(), renamed.end());
    test::PutLe32(file, package::kBodyLengthOffset, uint32_t(file.size() - package::kHeaderSize));
    test::PutLe32(file, package::kEntryCountOffset, 4);
    test::ResealBody(file);
    CPackedTools reader;
    ASSERT_EQ(Load(reader, file), 1);
    EXPECT_EQ(reader.m_files.size(), 1u);
    EXPECT_EQ(Contents(reader, "hi.txt"), "abcabcabcabc");
}

TEST(PackedTools, GetFileFindsOnlyTheExactName) {
    CPackedTools reader;
    ASSERT_EQ(Load(reader, Written({In("libssl.dll.x86", "ssl"), In("libssl.dll.x86.bak", "bak"),
                                    In("libssl.dll.x8", "short"), In("b", "b")})),
              1);
    EXPECT_EQ(Contents(reader, "libssl.dll.x86"), "ssl");
    EXPECT_EQ(Contents(reader, "libssl.dll.x8"), "short");
    const char* absent[] = {"LIBSSL.DLL.X86", "libssl.dll.X86", "libssl.dll.x", "libssl.dll.x87",
                            "libssl.dll.x86 ", "", "a", "c", "libssl.dll.x86.ba"};
    for (const char* name : absent) {
        const uint8_t sentinelByte = 0;
        const uint8_t* data = &sentinelByte;
        uint32_t size = 0xC0FFEE;
        EXPECT_EQ(reader.GetFile(name, &data, &size), 0) << '"' << name << '"';
        EXPECT_EQ(data, &sentinelByte) << name;
        EXPECT_EQ(size, 0xC0FFEEu) << name;
    }
}

TEST(PackedTools, ClearReleasesEverything) {
    CPackedTools reader;
    ASSERT_EQ(Load(reader, Fixed()), 1);
    reader.Clear();
    EXPECT_TRUE(reader.m_files.empty());
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(reader.GetFile("x", &data, &size), 0);
    EXPECT_EQ(reader.m_status, kPackageOk);
}

TEST(ByteLess, OrdersUnsignedBytesShorterFirstCaseSensitive) {
    const CPackedTools::ByteLess less;
    struct Case {
        std::string a, b;
        bool aFirst;
    } cases[] = {
        {"\x7f", "\x80", true},         {"\x80", "\x7f", false},
        {"a\xff", "b", true},           {"abc", "abcd", true},
        {"abcd", "abc", false},         {"", "a", true},
        {"B", "a", true},               {"a", "B", false},
        {std::string("a\0b", 3), std::string("a\0c", 3), true},
        {std::string("a\0", 2), "a", false},
        {"same", "same", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(less(c.a, c.b), c.aFirst) << c.a << " vs " << c.b;
    }
}

struct InflateCase {
    const char* what;
    size_t size;
};

TEST(PackedTools, InflateAroundTheOutputBufferSize) {
    const InflateCase cases[] = {
        {"one byte", 1},
        {"one byte short of the buffer", 0x200000 - 1},
        {"exactly the buffer", 0x200000},
        {"one byte over", 0x200001},
        {"twice the buffer", 0x400000},
        {"the largest shipped entry", 3709800},
    };
    CPackedTools reader;
    for (const InflateCase& c : cases) {
        const Bytes contents = test::GeneratedContents(c.size, uint32_t(c.size));
        const Bytes stream = package::CompressStream(contents.data(), contents.size());
        std::string out;
        reader.Inflate(out, stream.data(), uint32_t(stream.size()));
        ASSERT_EQ(out.size(), c.size) << c.what;
        EXPECT_EQ(std::memcmp(out.data(), contents.data(), c.size), 0) << c.what;
        // The same stream cut short fails whole.
        std::string cut;
        reader.Inflate(cut, stream.data(), uint32_t(stream.size() - 1));
        EXPECT_TRUE(cut.empty()) << c.what;
    }
}

TEST(PackedTools, InflateOfHighlyCompressibleContents) {
    // Long runs: a few input bytes fill the output buffer many times over.
    const Bytes zeros(0x200000 * 3 + 17, 0);
    const Bytes stream = package::CompressStream(zeros.data(), zeros.size());
    CPackedTools reader;
    std::string out;
    reader.Inflate(out, stream.data(), uint32_t(stream.size()));
    EXPECT_EQ(out.size(), zeros.size());
    EXPECT_EQ(out.find_first_not_of('\0'), std::string::npos);
}

}  // namespace
}  // namespace linkmoor
