// The engine's file and folder operations under Wine, without deferrals to the next reboot.

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "catch_error.h"
#include "installer_test_support.h"
#include "log_file.h"
#include "scratch_folder.h"
#include "stopwatch.h"
#include "whole_file.h"
#include "win32/protected_folder.h"

namespace linkmoor::test {
namespace {

const uint8_t kData[] = {'p', 'a', 'y', 'l', 'o', 'a', 'd', 0, 0xFF, '\r', '\n'};
const std::string kDataBytes(reinterpret_cast<const char*>(kData), sizeof(kData));

class FileOperations : public EngineTest {};

TEST_F(FileOperations, CreateDirectoryRecordsOnlyWhatItCreated) {
    const std::string fresh = m_folder.Join("fresh");
    const std::string existing = m_folder.Join("existing");
    CreateDirectoryA(existing.c_str(), nullptr);

    m_engine->CreateDirectory(fresh.c_str());
    m_engine->CreateDirectory(existing.c_str());

    EXPECT_TRUE(PathExists(fresh));
    EXPECT_EQ(m_engine->m_installed, (CInstaller::PathMap{{fresh, 0}}));
    // The existing directory is still removed when asked: removal is driven by the caller.
    m_engine->DeleteDirectory(existing.c_str());
    EXPECT_FALSE(PathExists(existing));
    EXPECT_EQ(FinishLog(), "CreateDirectory: " + fresh + "\r\nCreateDirectory: " + existing +
                               "\r\nDeleteDirectory: " + existing + "\r\n");
}

// The access list Wine keeps for a path, as descriptor text ("" when it cannot be read). Wine maps
// a list onto the Unix mode bits and reads one back from them: what shows through is whether the
// Everyone entry (world-readable bits) is there.
std::string AccessListOf(const std::string& path) {
    DWORD needed = 0;
    GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::string buffer(needed, '\0');
    if (needed == 0 || !GetFileSecurityA(path.c_str(), DACL_SECURITY_INFORMATION, &buffer[0],
                                         needed, &needed))
        return "";
    char* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(&buffer[0], SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text,
                                                              nullptr))
        return "";
    std::string result(text);
    LocalFree(text);
    return result;
}

constexpr char kEveryoneReads[] = "(A;OICI;0x1200a9;;;WD)";

TEST(ProtectedFolder, TheDescriptorAsBuilt) {
    for (bool withOwner : {true, false}) {
        SCOPED_TRACE(withOwner ? "with owner" : "without owner");
        UniqueLocalMemory descriptor = ProtectedFolderDescriptor(withOwner);
        ASSERT_TRUE(descriptor);
        char* text = nullptr;
        ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor.Get(), SDDL_REVISION_1,
            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr));
        // OWNER RIGHTS is written by its SID, S-1-3-4, and reads back under its alias.
        EXPECT_STREQ(text, withOwner
                               ? "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;RC;;;OW)"
                               : "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;RC;;;OW)");
        LocalFree(text);
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.Get(), &control, &revision));
        EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from the parent";
    }
}

TEST_F(FileOperations, CreateProtectedDirectoryPinsAFolderItCreatedAndOnlyThat) {
    const std::string fresh = m_folder.Join("fresh");
    const std::string existing = m_folder.Join("existing");
    const std::string ordinary = m_folder.Join("ordinary");
    ASSERT_TRUE(CreateDirectoryA(existing.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(ordinary.c_str(), nullptr));

    UniqueFile pin = m_engine->CreateProtectedDirectory(fresh.c_str());
    ASSERT_TRUE(pin) << GetLastError();
    DWORD flags = HANDLE_FLAG_INHERIT;
    ASSERT_TRUE(GetHandleInformation(pin.Get(), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u) << "a started program must not get the pin";
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(pin.Get(), &info));
    EXPECT_TRUE(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);

    // Held without delete sharing: nobody can remove or rename it meanwhile.
    const std::string moved = m_folder.Join("moved");
    EXPECT_FALSE(RemoveDirectoryA(fresh.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(MoveFileA(fresh.c_str(), moved.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));

    // Wine keeps the list as mode bits: the protected folder reads back without the entry for
    // everyone that an ordinary folder beside it has. (Files made inside take their bits from
    // the umask; inheriting the list is what Windows alone does.)
    EXPECT_NE(AccessListOf(ordinary).find(kEveryoneReads), std::string::npos)
        << AccessListOf(ordinary);
    EXPECT_EQ(AccessListOf(fresh).find("WD"), std::string::npos) << AccessListOf(fresh);

    // A name that exists is not the caller's: no handle, nothing recorded, no error.
    UniqueFile notOurs = m_engine->CreateProtectedDirectory(existing.c_str());
    EXPECT_FALSE(notOurs);
    EXPECT_EQ(m_engine->m_installed, (CInstaller::PathMap{{fresh, 0}}));
    auto error = CatchError(
        [&] { m_engine->CreateProtectedDirectory(m_folder.Join("missing\\child").c_str()); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->m_line, 1045);
    EXPECT_EQ(error->m_error, DWORD(ERROR_PATH_NOT_FOUND));

    pin.Reset();
    EXPECT_TRUE(RemoveDirectoryA(fresh.c_str())) << GetLastError();
    EXPECT_EQ(FinishLog(), "CreateDirectory: " + fresh + "\r\nCreateDirectory: " + existing +
                               "\r\nCreateDirectory: " + m_folder.Join("missing\\child") +
                               "\r\n");
}

TEST_F(FileOperations, InstallFileWritesANewFileAndRecordsIt) {
    const std::string path = m_folder.Join("module.exe");
    m_engine->InstallFile("module.exe", Dir(), kData, sizeof(kData));
    m_engine->InstallFile("empty.dat", Dir(), kData, 0);

    EXPECT_EQ(ReadFileBytes(path), kDataBytes);
    EXPECT_TRUE(PathExists(m_folder.Join("empty.dat")));
    EXPECT_EQ(ReadFileBytes(m_folder.Join("empty.dat")), "");
    EXPECT_EQ(m_engine->m_installed,
              (CInstaller::PathMap{{m_folder.Join("empty.dat"), 1}, {path, 1}}));
    EXPECT_TRUE(m_engine->m_backups.empty());
    EXPECT_EQ(m_engine->m_rebootRequired, 0);
    EXPECT_EQ(FinishLog(), "Install File: " + path + "\r\nInstall File: " +
                               m_folder.Join("empty.dat") + "\r\n");
}

TEST_F(FileOperations, OverwriteKeepsOneBackupAndDoesNotRecordTheTarget) {
    const std::string path = m_folder.Join("driver.sys");
    WriteFileBytes(path, "previous contents, longer than the new ones");

    m_engine->InstallFile("driver.sys", Dir(), kData, sizeof(kData));

    // The target is rewritten from its start: nothing of the longer old contents is left.
    EXPECT_EQ(ReadFileBytes(path), kDataBytes);
    EXPECT_TRUE(m_engine->m_installed.empty());
    ASSERT_EQ(m_engine->m_backups.size(), 1u);
    const std::string backup = m_engine->m_backups.at(path);
    EXPECT_EQ(backup.rfind(m_folder.Path() + "\\", 0), 0u) << backup;
    EXPECT_EQ(ReadFileBytes(backup), "previous contents, longer than the new ones");
    // Beside the log and the target, only the backup stands in the folder.
    EXPECT_EQ(ListFolder(m_folder.Path()).size(), 3u);

    // A second overwrite replaces the backup entry; the first copy is no longer tracked.
    m_engine->InstallFile("driver.sys", Dir(), kData, 3);
    ASSERT_EQ(m_engine->m_backups.size(), 1u);
    const std::string second = m_engine->m_backups.at(path);
    EXPECT_NE(second, backup);
    EXPECT_EQ(ReadFileBytes(second), kDataBytes);
    EXPECT_EQ(ReadFileBytes(path), "pay");

    EXPECT_EQ(FinishLog(), "Install File: " + path + "\r\nInstall File: " + path + "\r\n");
    EXPECT_FALSE(PathExists(second));
    EXPECT_TRUE(PathExists(backup));  // the untracked first copy stays
    EXPECT_EQ(ReadFileBytes(path), "pay");
}

TEST_F(FileOperations, PathsDifferingInCaseAreSeparateKeys) {
    m_engine->RecordInstalledPath("C:\\Run\\a.dll");
    m_engine->RecordInstalledPath("C:\\run\\a.dll");
    m_engine->RecordInstalledPath("C:\\Run\\A.dll");
    m_engine->m_installed["C:\\Run"] = CInstaller::kKindDirectory;
    m_engine->RecordInstalledPath("C:\\Run");  // a later record overwrites the kind
    std::vector<std::pair<std::string, int32_t>> entries(m_engine->m_installed.begin(),
                                                         m_engine->m_installed.end());
    // Byte order: upper case before lower case, a prefix before its extensions.
    EXPECT_EQ(entries, (std::vector<std::pair<std::string, int32_t>>{
                           {"C:\\Run", 1}, {"C:\\Run\\A.dll", 1}, {"C:\\Run\\a.dll", 1},
                           {"C:\\run\\a.dll", 1}}));

    // Two files whose names differ in case are one file on disk but two backups.
    WriteFileBytes(m_folder.Join("Lib.dll"), "old");
    m_engine->InstallFile("Lib.dll", Dir(), kData, 3);
    m_engine->InstallFile("LIB.DLL", Dir(), kData, 3);
    EXPECT_EQ(m_engine->m_backups.size(), 2u);
    EXPECT_EQ(m_engine->m_backups.count(m_folder.Join("Lib.dll")), 1u);
    EXPECT_EQ(m_engine->m_backups.count(m_folder.Join("LIB.DLL")), 1u);
}

TEST_F(FileOperations, RemoveInstallFilesDeletesRecordedFilesInKeyOrder) {
    const std::string sub = m_folder.Join("amd64");
    m_engine->CreateDirectory(sub.c_str());
    m_engine->InstallFile("b.dll", sub.c_str(), kData, 2);
    m_engine->InstallFile("B.dll", Dir(), kData, 2);
    WriteFileBytes(m_folder.Join("kept.txt"), "customer's");
    m_engine->InstallFile("kept.txt", Dir(), kData, 2);  // existed before: not ours

    m_engine->RemoveInstallFiles();
    EXPECT_FALSE(PathExists(sub + "\\b.dll"));
    EXPECT_FALSE(PathExists(m_folder.Join("B.dll")));
    EXPECT_TRUE(PathExists(m_folder.Join("kept.txt")));
    EXPECT_TRUE(PathExists(sub));  // directories are left to DeleteDirectory
    EXPECT_EQ(m_engine->m_installed.size(), 3u);  // the record is unchanged
    m_engine->DeleteDirectory(sub.c_str());
    EXPECT_FALSE(PathExists(sub));
    EXPECT_EQ(m_engine->m_rebootRequired, 0);

    EXPECT_EQ(FinishLog(), "CreateDirectory: " + sub + "\r\n" +
                               "Install File: " + sub + "\\b.dll\r\n" +
                               "Install File: " + m_folder.Join("B.dll") + "\r\n" +
                               "Install File: " + m_folder.Join("kept.txt") + "\r\n" +
                               "RemoveInstallFiles: " + m_folder.Join("B.dll") + "\r\n" +
                               "RemoveInstallFiles: " + sub + "\\b.dll\r\n" +
                               "DeleteDirectory: " + sub + "\r\n");
}

TEST_F(FileOperations, MissingFileAndFolderAreRemovedSilently) {
    m_engine->DeleteFile(Dir(), "never-there.txt");
    m_engine->DeleteFile((m_folder.Path() + "\\no-folder").c_str(), "x.txt");
    m_engine->DeleteDirectory(m_folder.Join("no-folder").c_str());
    m_engine->DeleteDirectory(m_folder.Join("no-folder\\deeper").c_str());
    WriteFileBytes(m_folder.Join("present.log"), "x");
    m_engine->DeleteFile(Dir(), "present.log");
    EXPECT_FALSE(PathExists(m_folder.Join("present.log")));
    EXPECT_EQ(m_engine->m_rebootRequired, 0);
    EXPECT_EQ(FinishLog(), "DeleteFile: " + m_folder.Join("never-there.txt") + "\r\n" +
                               "DeleteFile: " + m_folder.Join("no-folder\\x.txt") + "\r\n" +
                               "DeleteDirectory: " + m_folder.Join("no-folder") + "\r\n" +
                               "DeleteDirectory: " + m_folder.Join("no-folder\\deeper") +
                               "\r\n" + "DeleteFile: " + m_folder.Join("present.log") + "\r\n");
}

// --- Temporary names ----------------------------------------------------------------------------

TEST_F(FileOperations, TempNameFromWindowsIsFreeAndBesideTheFile) {
    const std::string name = m_engine->MakeTempName("module.exe", Dir());
    EXPECT_EQ(name.rfind(m_folder.Path() + "\\mod", 0), 0u) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp") << name;
    EXPECT_FALSE(PathExists(name));  // Windows' reservation was deleted again
}

TEST_F(FileOperations, TempNameFallsBackToTheClockWhenWindowsCannotHelp) {
    // GetTempFileNameA fails on a folder that does not exist.
    const std::string missing = m_folder.Join("missing");
    SYSTEMTIME before;
    GetSystemTime(&before);
    const int64_t start = NowMs();
    const std::string name = m_engine->MakeTempName("prefix", missing.c_str());
    EXPECT_GE(NowMs() - start, 100);
    const std::string head = missing + "\\prefix-";
    ASSERT_EQ(name.rfind(head, 0), 0u) << name;
    const std::string digits = name.substr(head.size(), name.size() - head.size() - 4);
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
    EXPECT_GE(digits.size(), 3u);
    EXPECT_LE(digits.size(), 7u);
    EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << digits;
    // The minute leads, without a leading zero.
    const std::string minute = std::to_string(before.wMinute);
    EXPECT_TRUE(digits.rfind(minute, 0) == 0 ||
                digits.rfind(std::to_string((before.wMinute + 1) % 60), 0) == 0)
        << digits;
}

// --- Errors of the file operations -----------------------------------------------------------

TEST_F(FileOperations, RegisteredErrorsWindowsProduces) {
    const std::string missing = m_folder.Join("missing");
    // A 250-character folder name that does not exist: the clock name cannot fit in 260.
    const std::string longMissing = m_folder.Path() + "\\" + std::string(250, 'd');
    const std::string locked = m_folder.Join("locked.dat");
    WriteFileBytes(locked, "held");
    // Held without any sharing: still found, but it cannot even be copied.
    HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    struct Case {
        const char* what;
        void (*run)(CTestInstaller&, const std::string&);
        std::string argument;
        int line;
        uint32_t error;
        std::string log;
    };
    const std::vector<Case> cases = {
        {"directory under a missing parent",
         [](CTestInstaller& e, const std::string& a) { e.CreateDirectory(a.c_str()); },
         missing + "\\child", 1045, ERROR_PATH_NOT_FOUND,
         "CreateDirectory: " + missing + "\\child\r\n"},
        {"new file in a missing folder",
         [](CTestInstaller& e, const std::string& a) {
             e.InstallFile("new.bin", a.c_str(), kData, 1);
         },
         missing, 940, ERROR_PATH_NOT_FOUND, "Install File: " + missing + "\\new.bin\r\n"},
        {"existing file that cannot be copied",
         [](CTestInstaller& e, const std::string& a) {
             e.InstallFile("locked.dat", a.c_str(), kData, 1);
         },
         m_folder.Path(), 729, ERROR_SHARING_VIOLATION, "Install File: " + locked + "\r\n"},
        {"temporary name that cannot fit",
         [](CTestInstaller& e, const std::string& a) { e.MakeTempName("name", a.c_str()); },
         longMissing, 855, ERROR_FILENAME_EXCED_RANGE, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CLogFile log(m_folder.Join("case.log"));
        std::unique_ptr<CExceptionEx> error;
        {
            CTestInstaller engine(log.Handle());
            error = CatchError([&] { c.run(engine, c.argument); });
            EXPECT_TRUE(engine.m_installed.empty());
            EXPECT_TRUE(engine.m_backups.empty());
        }
        ASSERT_TRUE(error);
        EXPECT_EQ(error->m_module, 19);
        EXPECT_EQ(error->m_line, c.line);
        // For 855 the code is what the failed GetTempFileNameA left.
        EXPECT_EQ(error->m_error, c.error);
        EXPECT_EQ(log.Contents(), c.log);
    }
    CloseHandle(holder);
}

}  // namespace
}  // namespace linkmoor::test
