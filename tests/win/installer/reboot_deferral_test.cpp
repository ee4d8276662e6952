// Operations the engine leaves to the next reboot, read back from the list Windows keeps
// (PendingFileRenameOperations). Each test clears the list first and checks only its own entries.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "catch_error.h"
#include "installer_test_support.h"
#include "log_file.h"
#include "pending_renames.h"
#include "scratch_folder.h"
#include "whole_file.h"

namespace linkmoor::test {
namespace {

const uint8_t kData[] = {'n', 'e', 'w', ' ', 'd', 'a', 't', 'a'};
const std::string kDataBytes(reinterpret_cast<const char*>(kData), sizeof(kData));
const std::string kWarning = "Warning: === Reboot required to complete operation ===\r\n";

using Pair = std::pair<std::string, std::string>;

std::vector<Pair> PendingPairs() {
    std::vector<std::string> strings = ReadPendingRenames();
    std::vector<Pair> pairs;
    for (size_t i = 0; i + 1 < strings.size(); i += 2) pairs.push_back({strings[i], strings[i + 1]});
    return pairs;
}

bool HasPending(const Pair& pair) {
    std::vector<Pair> pairs = PendingPairs();
    return std::find(pairs.begin(), pairs.end(), pair) != pairs.end();
}

// A second handle that lets others read only: the file can be copied but not written or deleted.
class CHeldFile {
public:
    explicit CHeldFile(const std::string& path)
        : m_handle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~CHeldFile() { CloseHandle(m_handle); }
    bool IsHeld() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

class RebootDeferral : public EngineTest {
protected:
    void SetUp() override { ClearPendingRenames(); }
    void TearDown() override { ClearPendingRenames(); }
};

TEST_F(RebootDeferral, FileInUseIsReplacedAtRebootFromATemporaryFile) {
    const std::string path = m_folder.Join("service.exe");
    WriteFileBytes(path, "running");
    CHeldFile held(path);
    ASSERT_TRUE(held.IsHeld());

    m_engine->InstallFile("service.exe", Dir(), kData, sizeof(kData));

    EXPECT_EQ(m_engine->m_rebootRequired, 1);
    EXPECT_EQ(ReadFileBytes(path), "running");
    ASSERT_EQ(m_engine->m_backups.size(), 1u);
    EXPECT_EQ(ReadFileBytes(m_engine->m_backups.at(path)), "running");
    ASSERT_EQ(m_engine->m_installed.size(), 1u);
    const std::string tmp = m_engine->m_installed.begin()->first;
    EXPECT_EQ(m_engine->m_installed.begin()->second, 1);
    EXPECT_NE(tmp, path);
    EXPECT_EQ(tmp.rfind(m_folder.Path() + "\\ser", 0), 0u) << tmp;
    EXPECT_EQ(ReadFileBytes(tmp), kDataBytes);
    EXPECT_TRUE(HasPending({NtPath(tmp), "!" + NtPath(path)}));

    // Removing what was written takes the temporary file away; the reboot then finds no source.
    m_engine->RemoveInstallFiles();
    EXPECT_FALSE(PathExists(tmp));
    EXPECT_EQ(FinishLog(), "Install File: " + path + "\r\n" + kWarning +
                               "RemoveInstallFiles: " + tmp + "\r\n");
}

TEST_F(RebootDeferral, FolderWithContentsIsRemovedAtReboot) {
    const std::string sub = m_folder.Join("run");
    CreateDirectoryA(sub.c_str(), nullptr);
    WriteFileBytes(sub + "\\left.txt", "x");

    m_engine->DeleteDirectory(sub.c_str());

    EXPECT_EQ(m_engine->m_rebootRequired, 1);
    EXPECT_TRUE(PathExists(sub));
    EXPECT_TRUE(HasPending({NtPath(sub), ""}));
    EXPECT_EQ(FinishLog(), "DeleteDirectory: " + sub + "\r\n" +
                               "Warning: === Reboot required to complete operation === (0x91)\r\n");
}

// A scanner still holds a file the clean-up deleted: its name stays, pending, until the scanner
// lets go. A hold that ends within a moment costs no restart; one that lasts still does.
TEST_F(RebootDeferral, FolderEmptiedOnlyPendingIsRemovedOnceTheHoldEnds) {
    const struct {
        DWORD holdMs;
        bool removedNow;
    } cases[] = {{150, true}, {3000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.holdMs);
        const std::string sub = m_folder.Join("run-" + std::to_string(c.holdMs));
        const std::string file = sub + "\\scanned.exe";
        ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
        WriteFileBytes(file, "x");
        HANDLE scanner = CreateFileA(file.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(scanner, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(DeleteFileA(file.c_str()));
        ASSERT_FALSE(RemoveDirectoryA(sub.c_str()));
        ASSERT_EQ(GetLastError(), DWORD(ERROR_DIR_NOT_EMPTY)) << "the name stays while held";
        std::thread release([&] {
            Sleep(c.holdMs);
            CloseHandle(scanner);
        });
        m_engine->m_rebootRequired = 0;
        m_engine->DeleteDirectory(sub.c_str());
        release.join();
        EXPECT_EQ(m_engine->m_rebootRequired, c.removedNow ? 0 : 1);
        EXPECT_EQ(HasPending({NtPath(sub), ""}), !c.removedNow);
        if (!c.removedNow) {
            EXPECT_TRUE(RemoveDirectoryA(sub.c_str()));
        }
    }
}

TEST_F(RebootDeferral, FileInUseIsDeletedAtReboot) {
    const std::string path = m_folder.Join("companion.log");
    WriteFileBytes(path, "busy");
    CHeldFile held(path);

    m_engine->DeleteFile(Dir(), "companion.log");

    EXPECT_EQ(m_engine->m_rebootRequired, 1);
    EXPECT_TRUE(PathExists(path));
    EXPECT_TRUE(HasPending({NtPath(path), ""}));
    EXPECT_EQ(FinishLog(), "DeleteFile: " + path + "\r\n" + kWarning);
}

TEST_F(RebootDeferral, RecordedFileThatVanishedStillAsksForAReboot) {
    m_engine->InstallFile("gone.dll", Dir(), kData, 4);
    m_engine->InstallFile("kept.dll", Dir(), kData, 4);
    const std::string gone = m_folder.Join("gone.dll");
    const std::string kept = m_folder.Join("kept.dll");
    ASSERT_TRUE(DeleteFileA(gone.c_str()));
    CHeldFile held(kept);

    m_engine->RemoveInstallFiles();

    EXPECT_EQ(m_engine->m_rebootRequired, 1);
    EXPECT_TRUE(HasPending({NtPath(kept), ""}));
    EXPECT_EQ(FinishLog(), "Install File: " + gone + "\r\nInstall File: " + kept + "\r\n" +
                               "RemoveInstallFiles: " + gone + "\r\n" + kWarning +
                               "RemoveInstallFiles: " + kept + "\r\n" + kWarning);
}

// --- Errors that need a seam ---------------------------------------------------------------

// Stands in for a short write (a full disk): half of the bytes, then ERROR_DISK_FULL.
BOOL WINAPI HalfWrite(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
    BOOL ok = WriteFile(file, data, size / 2, written, nullptr);
    SetLastError(ERROR_DISK_FULL);
    return ok && size == 0;
}

// Stands in for a folder in which the temporary file cannot be created right after the backup
// copy beside it was (a quota or a full disk reached in between): only ".tmp" names fail.
HANDLE WINAPI NoTemporaryFiles(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                               DWORD disposition, DWORD flags, HANDLE templateFile) {
    std::string path(name);
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".tmp") == 0) {
        SetLastError(ERROR_DISK_FULL);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileA(name, access, share, sa, disposition, flags, templateFile);
}

TEST_F(RebootDeferral, ShortWritesAndFailingTemporaryFile) {
    struct Case {
        const char* what;
        bool existing;
        bool held;
        bool failTemp;
        int line;
        bool deferred;  // the replacement was registered and the warning written
    };
    const Case cases[] = {
        {"short write into a new file", false, false, false, 998, false},
        {"short write over an existing file", true, false, false, 998, false},
        {"short write into the temporary file of a file in use", true, true, false, 972, true},
        {"temporary file cannot be created", true, true, true, 962, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearPendingRenames();
        CScratchFolder folder;
        const std::string path = folder.Join("target.bin");
        if (c.existing) WriteFileBytes(path, "old");
        std::unique_ptr<CHeldFile> held(c.held ? new CHeldFile(path) : nullptr);
        CLogFile log(folder.Join("case.log"));
        std::unique_ptr<CExceptionEx> error;
        {
            CTestInstaller engine(log.Handle());
            CSeamsRestorer restore;
            if (c.failTemp) {
                InstallerSeams().createFile = &NoTemporaryFiles;
            } else {
                InstallerSeams().writeFile = &HalfWrite;
            }
            error = CatchError(
                [&] { engine.InstallFile("target.bin", folder.Path().c_str(), kData, 8); });
            // What was recorded before the throw stays recorded.
            EXPECT_EQ(engine.m_backups.size(), c.existing ? 1u : 0u);
            if (!c.existing) {
                EXPECT_EQ(engine.m_installed, (CInstaller::PathMap{{path, 1}}));
            }
            if (c.existing && !c.deferred) {
                EXPECT_TRUE(engine.m_installed.empty());
            }
            EXPECT_EQ(engine.m_rebootRequired, c.deferred ? 1 : 0);
            if (c.deferred) {
                ASSERT_EQ(engine.m_installed.size(), 1u);
                const std::string tmp = engine.m_installed.begin()->first;
                EXPECT_EQ(ReadFileBytes(tmp), "new ");
                EXPECT_TRUE(HasPending({NtPath(tmp), "!" + NtPath(path)}));
            }
        }
        ASSERT_TRUE(error);
        EXPECT_EQ(error->m_module, 19);
        EXPECT_EQ(error->m_line, c.line);
        EXPECT_EQ(error->m_error, uint32_t(ERROR_DISK_FULL));
        EXPECT_EQ(log.Contents(),
                  "Install File: " + path + "\r\n" + (c.deferred ? kWarning : std::string()));
        held.reset();
        if (!c.existing) {
            EXPECT_EQ(ReadFileBytes(path), "new ");
        }
    }
}

// Wine refuses to add to a PendingFileRenameOperations value that is not REG_MULTI_SZ and sets
// no error of its own: the code is what the calls before left (0 after a whole write, the disk-
// full of a short write). The failed registration is raised in place of the short write.
TEST_F(RebootDeferral, ReplacementThatCannotBeRegistered) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, &key), 0);
    for (bool shortWrite : {false, true}) {
        SCOPED_TRACE(shortWrite ? "with a short write" : "whole write");
        RegSetValueExA(key, kPendingRenamesValue, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>("not a list"), 11);
        CScratchFolder folder;
        const std::string path = folder.Join("target.bin");
        WriteFileBytes(path, "old");
        CHeldFile held(path);
        CLogFile log(folder.Join("case.log"));
        std::unique_ptr<CExceptionEx> error;
        {
            CTestInstaller engine(log.Handle());
            CSeamsRestorer restore;
            if (shortWrite) InstallerSeams().writeFile = &HalfWrite;
            error = CatchError(
                [&] { engine.InstallFile("target.bin", folder.Path().c_str(), kData, 8); });
            EXPECT_EQ(engine.m_rebootRequired, 1);
            EXPECT_EQ(engine.m_installed.size(), 1u);
        }
        ASSERT_TRUE(error);
        EXPECT_EQ(error->m_module, 19);
        EXPECT_EQ(error->m_line, 981);
        EXPECT_EQ(error->m_error, shortWrite ? uint32_t(ERROR_DISK_FULL) : 0u);
        EXPECT_EQ(log.Contents(), "Install File: " + path + "\r\n" + kWarning);
    }
    RegCloseKey(key);
}

}  // namespace
}  // namespace linkmoor::test
