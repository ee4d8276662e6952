// The reader's Windows way in. This program runs with a package appended after its own image;
// started with a child option it instead reports what OpenSelf made of the file it runs from.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "package/own_image.h"
#include "package/package_format.h"
#include "package/packed_tools.h"
#include "package_test_support.h"
#include "program.h"
#include "scratch_folder.h"
#include "win32/unique_handle.h"

namespace linkmoor {
namespace {

using test::Bytes;

constexpr char kChildOpenSelf[] = "--child-open-self";
constexpr char kChildOpenSelfRenamed[] = "--child-open-self-renamed";
constexpr char kChildOpenSelfReplaced[] = "--child-open-self-replaced";
constexpr int kChildExitBase = 10;  // the child exits with 10 - m_status

enum class Before { kNothing, kRename, kReplace };

// kReplace: renamed while running, and a copy of the same bytes put under the program's name, as
// another program of the same user could do before the package is read.
int ChildMain(Before before) {
    const std::string path = test::ModulePath();
    const std::string moved = path + ".moved";
    if (before != Before::kNothing && !MoveFileA(path.c_str(), moved.c_str())) {
        return 1;  // the test reports that the running file could not be renamed
    }
    if (before == Before::kReplace && !CopyFileA(moved.c_str(), path.c_str(), TRUE)) {
        return 2;
    }
    CPackedTools reader;
    reader.OpenSelf();
    if (before == Before::kReplace) DeleteFileA(path.c_str());
    if (before != Before::kNothing) MoveFileA(moved.c_str(), path.c_str());
    return kChildExitBase - reader.m_status;
}

// Writes `bytes` to a new file `name` in the scratch folder; returns its path.
std::string WriteInto(const test::CScratchFolder& scratch, const char* name, const Bytes& bytes) {
    const std::string path = scratch.Join(name);
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file.IsValid()) << path << " error " << GetLastError();
    DWORD written = 0;
    if (!bytes.empty()) {
        WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
    }
    EXPECT_EQ(written, bytes.size());
    return path;
}

Bytes OwnBytes() { return test::ReadWholeFile(test::ModulePath()); }

size_t OwnHeaderAt(const Bytes& own) { return package::FindHeader(own.data(), own.size()); }

int LoadFrom(CPackedTools& reader, const std::string& path, DWORD access, int verifyOnly = 0) {
    UniqueFile file(CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file.IsValid()) << path << " error " << GetLastError();
    return reader.Load(file.Get(), verifyOnly);
}

DWORD RunChild(const std::string& exe, const char* option) {
    const int code = test::RunProgram(exe, option, 60000);
    if (code == -1) ADD_FAILURE() << "cannot start " << exe << " or it did not end";
    return DWORD(code);
}

TEST(PackedToolsWin, OpenSelfReadsTheAppendedPackageByteForByte) {
    CPackedTools reader;
    ASSERT_EQ(reader.OpenSelf(), 1);
    EXPECT_EQ(reader.m_status, kPackageOk);
    EXPECT_EQ(reader.m_files.size(), 3u);
    struct Expected {
        const char* name;
        Bytes contents;
    } expected[] = {
        {"libssl.dll.x86", test::ToBytes("ssl-x86")},
        {"exact", test::GeneratedContents(2097152, 1)},
        {"libcrypto.dll.amd64", test::GeneratedContents(3709800, 7)},
    };
    for (const Expected& e : expected) {
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(reader.GetFile(e.name, &data, &size), 1) << e.name;
        ASSERT_EQ(size, e.contents.size()) << e.name;
        EXPECT_EQ(std::memcmp(data, e.contents.data(), size), 0) << e.name;
    }
}

TEST(PackedToolsWin, LoadThroughAHandle) {
    const Bytes own = OwnBytes();
    const size_t headerAt = OwnHeaderAt(own);
    ASSERT_NE(headerAt, package::kNotFound);
    Bytes changed = own;
    changed[headerAt + package::kHeaderSize + 40] ^= 0x01;
    const Bytes withoutPackage(own.begin(), own.begin() + headerAt);

    test::CScratchFolder scratch;
    struct Case {
        const char* what;
        std::string path;
        DWORD access;
        int verifyOnly;
        int result;
        int32_t status;
        size_t entries;
    } cases[] = {
        {"copy of the packed program", WriteInto(scratch, "copy.exe", own), GENERIC_READ, 0, 1,
         kPackageOk, 3},
        {"verify only", WriteInto(scratch, "verify.exe", own), GENERIC_READ, 1, 1, kPackageOk, 0},
        {"one body byte changed", WriteInto(scratch, "changed.exe", changed), GENERIC_READ, 0, 0,
         kPackageDamaged, 0},
        {"program without package", WriteInto(scratch, "plain.exe", withoutPackage), GENERIC_READ,
         0, 0, kPackageDamaged, 0},
        {"empty file", WriteInto(scratch, "empty.bin", Bytes()), GENERIC_READ, 0, 0, kPackageDamaged,
         0},
        // Size known, but the read is refused: nothing is delivered.
        {"handle without read access", WriteInto(scratch, "noread.exe", own),
         FILE_WRITE_DATA | FILE_READ_ATTRIBUTES, 0, 0, kPackageNotRead, 0},
    };
    for (const Case& c : cases) {
        CPackedTools reader;
        EXPECT_EQ(LoadFrom(reader, c.path, c.access, c.verifyOnly), c.result) << c.what;
        EXPECT_EQ(reader.m_status, c.status) << c.what;
        EXPECT_EQ(reader.m_files.size(), c.entries) << c.what;
    }
}

TEST(PackedToolsWin, LoadOfAnInvalidHandleCannotSizeTheFile) {
    CPackedTools reader;
    EXPECT_EQ(reader.Load(INVALID_HANDLE_VALUE, 0), 0);
    EXPECT_EQ(reader.m_status, kPackageNoMemory);
}

TEST(PackedToolsWin, OpenSelfFromOtherCopies) {
    const Bytes own = OwnBytes();
    const size_t headerAt = OwnHeaderAt(own);
    ASSERT_NE(headerAt, package::kNotFound);
    test::CScratchFolder scratch;
    const std::string copy = WriteInto(scratch, "child.exe", own);
    const std::string plain = WriteInto(scratch, "child-plain.exe", Bytes(own.begin(), own.begin() + headerAt));
    EXPECT_EQ(RunChild(copy, kChildOpenSelf), DWORD(kChildExitBase - kPackageOk));
    EXPECT_EQ(RunChild(plain, kChildOpenSelf), DWORD(kChildExitBase - kPackageDamaged));
    // Renamed while running, the program's own path names no file any more; a file put under
    // that name is not the program's own, even with the same bytes: it is not read.
    EXPECT_EQ(RunChild(copy, kChildOpenSelfRenamed), DWORD(kChildExitBase - kPackageNotRead));
    EXPECT_EQ(RunChild(copy, kChildOpenSelfReplaced), DWORD(kChildExitBase - kPackageNotRead));
}

TEST(PackedToolsWin, OnlyTheFileThisProcessRunsFromIsItsOwn) {
    test::CScratchFolder scratch;
    const std::string copy = WriteInto(scratch, "copy.exe", OwnBytes());
    for (const std::string& path : {test::ModulePath(), copy}) {
        UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file) << path;
        EXPECT_EQ(IsFileOfThisProcess(file.Get()), path != copy) << path;
    }
}

}  // namespace
}  // namespace linkmoor

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], linkmoor::kChildOpenSelf) == 0) {
        return linkmoor::ChildMain(linkmoor::Before::kNothing);
    }
    if (argc == 2 && std::strcmp(argv[1], linkmoor::kChildOpenSelfRenamed) == 0) {
        return linkmoor::ChildMain(linkmoor::Before::kRename);
    }
    if (argc == 2 && std::strcmp(argv[1], linkmoor::kChildOpenSelfReplaced) == 0) {
        return linkmoor::ChildMain(linkmoor::Before::kReplace);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
