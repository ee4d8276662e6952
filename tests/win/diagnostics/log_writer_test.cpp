// The log writer under Wine: log files checked byte for byte.

#include <windows.h>
#include <sddl.h>

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "diagnostics/log_file.h"
#include "diagnostics/setup_log_api.h"
#include "log_file.h"
#include "scratch_folder.h"
#include "whole_file.h"
#include "win32/unique_handle.h"

namespace linkmoor {
namespace {

using test::CreateLogFile;
using test::CScratchFolder;
using test::ReadFileBytes;

const char* const kBadPointer = reinterpret_cast<const char*>(uintptr_t(1));

struct LineCase {
    const char* name;
    const char* message;
    const char* argument;
    std::string expected;
};

TEST(LogWriter, OneLineIsMessageArgumentAndCrLf) {
    const LineCase cases[] = {
        {"message and argument", "Launch path: ", "C:\\work\\run\\amd64\\cm.exe",
         "Launch path: C:\\work\\run\\amd64\\cm.exe\r\n"},
        {"null argument", "******* end **********", nullptr, "******* end **********\r\n"},
        {"empty argument", "******* end **********", "", "******* end **********\r\n"},
        {"null message with argument", nullptr, "C:\\somewhere", ""},
        {"null message and argument", nullptr, nullptr, ""},
        {"empty message", "", nullptr, "\r\n"},
        {"empty message with argument", "", "id", "id\r\n"},
        {"no separator added", "id:", "101234567890", "id:101234567890\r\n"},
        {"8-bit bytes as they are", "Pfad: ", "C:\\Gr\xFC\xDF\xE9\\\x80\xFF",
         "Pfad: C:\\Gr\xFC\xDF\xE9\\\x80\xFF\r\n"},
        {"line ends inside the text stay", "a\nb", "c\r\n", "a\nbc\r\n\r\n"},
    };
    CScratchFolder folder;
    for (const LineCase& c : cases) {
        std::string path = folder.Join("case.log");
        UniqueFile file(CreateLogFile(path));
        ASSERT_TRUE(file);
        {
            CSetupLogApi log(file.Get());
            log.WriteLine(c.message, c.argument);
        }
        EXPECT_EQ(ReadFileBytes(path), c.expected) << c.name;
    }
}

TEST(LogWriter, LinesFollowEachOtherInOrder) {
    CScratchFolder folder;
    std::string path = folder.Join("run.log");
    UniqueFile file(CreateLogFile(path));
    {
        CSetupLogApi log(file.Get());
        log.WriteLine("CreateDirectory: ", "C:\\w\\0123");
        log.WriteLine("******* unpack files **********", nullptr);
        log.WriteLine(nullptr, "dropped");
        log.WriteLine("source file:", "cm_x64.exe");
    }
    EXPECT_EQ(ReadFileBytes(path),
              "CreateDirectory: C:\\w\\0123\r\n"
              "******* unpack files **********\r\n"
              "source file:cm_x64.exe\r\n");
}

TEST(LogWriter, AnotherWritersBytesLandBeforeTheNextLine) {
    CScratchFolder folder;
    std::string path = folder.Join("shared.log");
    UniqueFile file(CreateLogFile(path));
    // A second handle on the same file, as the customer module's standard error would be.
    UniqueFile other(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(other);
    CSetupLogApi log(file.Get());
    log.WriteLine("first", nullptr);
    SetFilePointer(other.Get(), 0, nullptr, FILE_END);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(other.Get(), "child says hi\n", 14, &written, nullptr));
    log.WriteLine("second", nullptr);
    EXPECT_EQ(ReadFileBytes(path), "first\r\nchild says hi\nsecond\r\n");
}

TEST(LogWriter, EachLineSeeksToTheEndOfItsOwnHandle) {
    CScratchFolder folder;
    std::string path = folder.Join("seek.log");
    UniqueFile file(CreateLogFile(path));
    CSetupLogApi log(file.Get());
    log.WriteLine("0123456789", nullptr);
    // Someone moved the shared file pointer back: the next line must not overwrite.
    SetFilePointer(file.Get(), 2, nullptr, FILE_BEGIN);
    log.WriteLine("next", nullptr);
    EXPECT_EQ(ReadFileBytes(path), "0123456789\r\nnext\r\n");
}

TEST(LogWriter, InvalidHandleDropsEverything) {
    // Without a log no file call is made at all, not even the flush at the end: any call on the
    // invalid handle would leave ERROR_INVALID_HANDLE behind.
    constexpr DWORD kUntouched = 0x5A5A;
    SetLastError(kUntouched);
    {
        CSetupLogApi log(INVALID_HANDLE_VALUE);
        log.WriteLine("Launch path: ", "C:\\x");
        log.WriteLine("******* end **********", nullptr);
    }
    EXPECT_EQ(GetLastError(), kUntouched);
}

TEST(LogWriter, HandleIsBorrowedNotClosed) {
    CScratchFolder folder;
    std::string path = folder.Join("borrowed.log");
    UniqueFile file(CreateLogFile(path));
    { CSetupLogApi(file.Get()).WriteLine("line", nullptr); }
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(file.Get(), &flags)) << "the log object closed the handle";
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file.Get(), "after", 5, &written, nullptr));
    EXPECT_EQ(ReadFileBytes(path), "line\r\nafter");
}

TEST(LogWriter, FaultsInsideAreDroppedAndLaterLinesStillWritten) {
    CScratchFolder folder;
    std::string path = folder.Join("fault.log");
    UniqueFile file(CreateLogFile(path));
    CSetupLogApi log(file.Get());
    log.WriteLine(kBadPointer, nullptr);           // message that points nowhere: nothing
    log.WriteLine("Install File: ", kBadPointer);  // argument that points nowhere: cut short
    log.WriteLine("still here", nullptr);
    EXPECT_EQ(ReadFileBytes(path), "Install File: still here\r\n");
}

TEST(LogWriter, FailingWritesReportNothing) {
    CScratchFolder folder;
    std::string path = folder.Join("readonly.log");
    test::WriteFileBytes(path, "old");
    UniqueFile readOnly(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(readOnly);
    {
        CSetupLogApi log(readOnly.Get());
        log.WriteLine("message", "argument");
    }
    EXPECT_EQ(ReadFileBytes(path), "old");
}

// --- Creating the log file ----------------------------------------------------------------------

DWORD LinkCount(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(file, &info) ? info.nNumberOfLinks : 0;
}

TEST(LogFile, CreatedAnewTruncatedOrPutInPlaceOfALink) {
    CScratchFolder folder;
    const std::string other = folder.Join("someone-elses.dat");
    const struct {
        const char* what;
        void (*plant)(const std::string& log, const std::string& other);
    } cases[] = {
        {"no earlier log", [](const std::string&, const std::string&) {}},
        {"an earlier log, truncated in place",
         [](const std::string& log, const std::string&) {
             test::WriteFileBytes(log, "an earlier run's much longer log\r\n");
         }},
        {"a hard link to another file",
         [](const std::string& log, const std::string& other) {
             ASSERT_TRUE(CreateHardLinkA(log.c_str(), other.c_str(), nullptr)) << GetLastError();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = folder.Join("linkmoor-technician-customer-module.log");
        DeleteFileA(path.c_str());
        test::WriteFileBytes(other, "bytes that are not the launcher's");
        c.plant(path, other);
        {
            UniqueFile log(CreateLogFile(path));
            ASSERT_TRUE(log) << GetLastError();
            DWORD flags = 0;
            ASSERT_TRUE(GetHandleInformation(log.Get(), &flags));
            EXPECT_TRUE(flags & HANDLE_FLAG_INHERIT);
            EXPECT_EQ(LinkCount(log.Get()), 1u) << "the log is a file of its own";
            DWORD written = 0;
            ASSERT_TRUE(WriteFile(log.Get(), "run\r\n", 5, &written, nullptr));
        }
        EXPECT_EQ(ReadFileBytes(path), "run\r\n");
        EXPECT_EQ(ReadFileBytes(other), "bytes that are not the launcher's");
    }
}

// Wine reads every file's owner back as its one user: the owner of an earlier log is given here.
const char* g_ownerSid = nullptr;  // null: the owner cannot be read

bool GivenOwner(HANDLE, PSID owner, DWORD size) {
    PSID sid = nullptr;
    if (!g_ownerSid || !ConvertStringSidToSidA(g_ownerSid, &sid)) return false;
    const bool copied = CopySid(size, owner, sid) != FALSE;
    LocalFree(sid);
    return copied;
}

std::string CurrentUserSid() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    char buffer[256] = {};
    DWORD length = 0;
    GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &length);
    CloseHandle(token);
    char* text = nullptr;
    ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
    std::string sid = text ? text : "";
    LocalFree(text);
    return sid;
}

TEST(LogFile, AnEarlierLogIsReusedOnlyWhenItsOwnerIsTrusted) {
    // The earlier log stands under the name in capitals: truncated in place it keeps that
    // spelling, while a log created anew takes the launcher's.
    const std::string user = CurrentUserSid();
    const struct {
        const char* what;
        const char* owner;
        bool reused;
    } cases[] = {
        {"the current user", user.c_str(), true},
        {"the Administrators group", "S-1-5-32-544", true},
        {"SYSTEM", "S-1-5-18", true},
        {"another account", "S-1-5-21-1111-2222-3333-1001", false},
        {"an owner that cannot be read", nullptr, false},
    };
    SetFileOwnerReaderForTest(GivenOwner);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CScratchFolder folder;
        const std::string earlier = "LINKMOOR-TECHNICIAN-CUSTOMER-MODULE.LOG";
        test::WriteFileBytes(folder.Join(earlier), "written by someone, longer than the run's line");
        g_ownerSid = c.owner;
        {
            UniqueFile log(CreateLogFile(folder.Join("linkmoor-technician-customer-module.log")));
            ASSERT_TRUE(log) << GetLastError();
            DWORD written = 0;
            ASSERT_TRUE(WriteFile(log.Get(), "run\r\n", 5, &written, nullptr));
        }
        const std::vector<std::string> names = test::ListFolder(folder.Path());
        ASSERT_EQ(names.size(), 1u);
        EXPECT_EQ(names[0], c.reused ? earlier : "linkmoor-technician-customer-module.log");
        EXPECT_EQ(ReadFileBytes(folder.Join(names[0])), "run\r\n");
    }
    SetFileOwnerReaderForTest(nullptr);
}

std::string AccessListText(PSECURITY_DESCRIPTOR descriptor) {
    char* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        return "<none>";
    }
    std::string result(text);
    LocalFree(text);
    return result;
}

std::string FileAccessList(const std::string& path) {
    char buffer[4096] = {};
    DWORD needed = 0;
    if (!GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, buffer, sizeof(buffer),
                          &needed)) {
        return "<none>";
    }
    return AccessListText(buffer);
}

TEST(LogFile, ItsOwnProtectedAccessList) {
    // As built: the user, the Administrators group and SYSTEM, nobody else, nothing inherited.
    UniqueLocalMemory descriptor = LogFileDescriptor();
    ASSERT_TRUE(descriptor);
    EXPECT_EQ(AccessListText(descriptor.Get()),
              "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;" + CurrentUserSid() + ")");

    // What Wine keeps of it on a new log: no entry for everyone, where an ordinary file in the
    // same folder has one. (The list an earlier log is given when it is reused does not show
    // under Wine.)
    constexpr char kEveryone[] = ";;;WD)";
    CScratchFolder folder;
    const std::string ordinary = folder.Join("ordinary.txt");
    test::WriteFileBytes(ordinary, "x");
    ASSERT_NE(FileAccessList(ordinary).find(kEveryone), std::string::npos);
    const std::string path = folder.Join("linkmoor-technician-customer-module.log");
    UniqueFile log(CreateLogFile(path));
    ASSERT_TRUE(log);
    EXPECT_EQ(FileAccessList(path).find(kEveryone), std::string::npos) << FileAccessList(path);
}

TEST(LogFile, NoLogWhereOnlyAFolderStands) {
    CScratchFolder folder;
    const std::string path = folder.Join("linkmoor-technician-customer-module.log");
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    UniqueFile log(CreateLogFile(path));
    EXPECT_FALSE(log);
    EXPECT_TRUE(test::PathExists(path + "\\")) << "the folder stays";
}

}  // namespace
}  // namespace linkmoor
