// The certificate table found through the PE headers, and the reader's refusal of a package that
// a signature does not cover. The executables are built here byte by byte: a DOS header, the PE
// signature, a COFF header and an optional header with its data directories.
#include "package/certificate_table.h"

#include <gtest/gtest.h>

#include "package/package_writer.h"
#include "package/packed_tools.h"
#include "package_test_support.h"

namespace linkmoor {
namespace {

using test::Bytes;
using test::PutLe32;

using test::kPeAt;
using test::kPeImageSize;
using test::PeShape;

Bytes Executable(const PeShape& shape) { return test::PeImage(shape); }
constexpr size_t kImageSize = kPeImageSize;

Bytes Cut(Bytes bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

TEST(CertificateTable, FoundThroughTheSecurityDirectoryOnly) {
    const struct {
        const char* what;
        Bytes file;
        bool present;
    } cases[] = {
        {"PE32 with a table", Executable({false, 16, 0, 0x500, 0x100}), true},
        {"PE32+ with a table", Executable({true, 16, 0, 0x500, 0x100}), true},
        {"empty security directory", Executable({false, 16, 0, 0, 0}), false},
        {"directory with a size but no offset", Executable({false, 16, 0, 0, 0x100}), false},
        {"only four data directories", Executable({false, 4, 0, 0x500, 0x100}), false},
        {"optional header too short for the directory", Executable({false, 16, 96, 0x500, 0x100}),
         false},
        {"no image at all", test::ToBytes("package bytes only, nothing before them"), false},
        {"headers cut short", Cut(Executable({false, 16, 0, 0x500, 0x100}), 0x100), false},
    };
    for (const auto& c : cases) {
        const package::CertificateTable table =
            package::FindCertificateTable(c.file.data(), c.file.size());
        EXPECT_EQ(table.present, c.present) << c.what;
        if (c.present) {
            EXPECT_EQ(table.offset, 0x500u) << c.what;
            EXPECT_EQ(table.size, 0x100u) << c.what;
        }
    }
    Bytes badSignature = Executable({false, 16, 0, 0x500, 0x100});
    badSignature[kPeAt + 1] = 'X';
    EXPECT_FALSE(package::FindCertificateTable(badSignature.data(), badSignature.size()).present);
    Bytes farPointer = Executable({false, 16, 0, 0x500, 0x100});
    PutLe32(farPointer, 0x3C, 0xFFFFFFF0u);
    EXPECT_FALSE(package::FindCertificateTable(farPointer.data(), farPointer.size()).present);
}

TEST(CertificateTable, TheReaderRefusesAPackageTheSignatureDoesNotCover) {
    const package::WriteResult written =
        package::BuildPackage({{"qorvusbd.inf", test::ToBytes("[Version]\r\n")}}, 0x5C);
    ASSERT_TRUE(written.ok);
    const Bytes& package = written.bytes;
    const uint32_t end = uint32_t(kImageSize + package.size());
    const Bytes table(0x200, 0xA5);

    // The image, then `before` bytes, the package, then `after` bytes; the security directory
    // points at `tableOffset`.
    auto file = [&](uint32_t tableOffset, const Bytes& before, const Bytes& after) {
        Bytes bytes = Executable({false, 16, 0, tableOffset, uint32_t(table.size())});
        bytes.insert(bytes.end(), before.begin(), before.end());
        bytes.insert(bytes.end(), package.begin(), package.end());
        bytes.insert(bytes.end(), after.begin(), after.end());
        return bytes;
    };
    const struct {
        const char* what;
        Bytes bytes;
        int32_t status;
    } cases[] = {
        {"unsigned", file(0, {}, {}), kPackageOk},
        {"table right after the package", file(end, {}, table), kPackageOk},
        {"table after padding", file(end + 8, {}, Bytes(8, 0)), kPackageOk},
        {"package appended after the table",
         file(uint32_t(kImageSize), table, {}), kPackageDamaged},
        {"table starting inside the package", file(end - 1, {}, table), kPackageDamaged},
        {"package inside the table", file(uint32_t(kImageSize), Bytes(16, 0), table),
         kPackageDamaged},
        {"table pointer past the end of the file", file(end + 0x10000, {}, {}), kPackageOk},
    };
    for (const auto& c : cases) {
        CPackedTools reader;
        reader.LoadBytes(c.bytes.data(), uint32_t(c.bytes.size()), 0);
        EXPECT_EQ(reader.m_status, c.status) << c.what;
        EXPECT_EQ(reader.m_files.size(), c.status == kPackageOk ? 1u : 0u) << c.what;
    }
}

// A table counts as a signature only when its bytes are in the file and read as WIN_CERTIFICATE
// entries that fill it.
TEST(CertificateTable, ItsBytesAreCheckedAsWinCertificateEntries) {
    using package::TableShape;
    const Bytes image = Executable({});
    const uint32_t at = uint32_t(image.size());
    // The image followed by `table`, the directory naming `size` bytes at `offset`.
    auto file = [&](const Bytes& table, uint32_t offset, uint32_t size) {
        Bytes bytes = image;
        test::PutCertificateTable(bytes, offset, size);
        bytes.insert(bytes.end(), table.begin(), table.end());
        return bytes;
    };
    const Bytes one = test::CertificateTableBytes(0x40);
    Bytes two = one;  // a second entry of 13 bytes, padded to 16
    Bytes second = test::CertificateTableBytes(16);
    PutLe32(second, 0, 13);
    two.insert(two.end(), second.begin(), second.end());
    auto with = [](Bytes table, size_t offset, uint32_t value) {
        PutLe32(table, offset, value);
        return table;
    };
    const struct {
        const char* what;
        Bytes file;
        TableShape shape;
    } cases[] = {
        {"one entry", file(one, at, 0x40), TableShape::kWhole},
        {"two entries, the second padded", file(two, at, uint32_t(two.size())), TableShape::kWhole},
        {"cut where the table starts", file({}, at, 0x40), TableShape::kCutShort},
        {"cut inside the table", file(Bytes(one.begin(), one.begin() + 0x20), at, 0x40), TableShape::kCutShort},
        {"pointing past the end", file({}, at + 1000, 0x40), TableShape::kOutsideFile},
        {"revision 3.0", file(with(one, 4, 0x0300 | 2u << 16), at, 0x40), TableShape::kMalformed},
        {"type 0", file(with(one, 4, 0x0200), at, 0x40), TableShape::kMalformed},
        {"length below its header", file(with(one, 0, 4), at, 0x40), TableShape::kMalformed},
        {"entry longer than the table", file(with(one, 0, 0x48), at, 0x40), TableShape::kMalformed},
        {"bytes after the last entry", file(with(one, 0, 0x30), at, 0x40), TableShape::kMalformed},
    };
    for (const auto& c : cases) {
        const auto table = package::FindCertificateTable(c.file.data(), c.file.size());
        EXPECT_EQ(package::CheckCertificateTable(c.file.data(), c.file.size(), table).shape, c.shape) << c.what;
    }
}

}  // namespace
}  // namespace linkmoor
