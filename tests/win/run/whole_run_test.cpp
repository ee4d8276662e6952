// Whole customer-module runs: a child program creates the log in a work folder of the test's and
// constructs the run, with the package appended to that child, under a Windows version chosen for
// it in Wine's registry. The run folder goes to the system's temp folder. The test customer module
// records its command line, folder and PATH; the log is compared byte for byte with the sequence
// the run must write.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "pending_renames.h"
#include "program.h"
#include "run/run_folder_name.h"
#include "run/silent_installer.h"
#include "run_test_support.h"
#include "scoped_environment.h"
#include "scratch_folder.h"
#include "text.h"
#include "whole_file.h"
#include "windows_version_choice.h"
#include "wine_prefix.h"

namespace linkmoor::test {
namespace {

constexpr char kChildFull[] = "run-child-full.exe";
constexpr char kChildNoOpenSsl[] = "run-child-no-openssl.exe";
constexpr char kChildMissingEntry[] = "run-child-missing-inf.exe";
constexpr char kLogName[] = "linkmoor-technician-customer-module.log";
constexpr char kIdentifier[] = "101234567890";
constexpr char kWarning[] = "Warning: === Reboot required to complete operation ===";

struct Machine {
    std::string arch;   // folder and package forms
    std::string label;  // the system line's last word
    std::string cryptoEnding;
};

Machine ThisMachine() {
    if (IsWin64Prefix()) return {"amd64", "x64", "-x64.dll"};
    return {"x86", "x86", ".dll"};
}

struct Expectation {
    std::string systemLine;  // without the architecture label
    bool windows10 = true;
    bool openSsl = true;
    std::string identifier;
};

// The whole log of a successful run, spelled out.
std::string ExpectedLog(const std::string& runFolder, const Expectation& e) {
    const Machine m = ThisMachine();
    struct File {
        std::string entry, target;
    };
    std::vector<File> files = {
        {"linkmoor-customer-module-gui.dll", "linkmoor-customer-module-gui.dll"},
        {"linkmoor-customer-module-gui.exe." + m.arch, "linkmoor-customer-module-gui.exe"},
        {"linkmoortechcsrv.exe." + m.arch, "linkmoortechcsrv.exe"},
        {e.windows10 ? "qorvusbd.cat" : "qorvusbd.cat.v7", "qorvusbd.cat"},
        {"qorvusbd.inf", "qorvusbd.inf"},
        {"qorvusbd.sys." + m.arch, m.arch + "\\qorvusbd.sys"},
        {"qorvpnptls.sys." + m.arch, m.arch + "\\qorvpnptls.sys"},
        {"openssl-license.txt", "openssl-license.txt"},
    };
    if (e.openSsl) {
        files.push_back({"libcrypto.dll." + m.arch, "libcrypto-3" + m.cryptoEnding});
        files.push_back({"libssl.dll." + m.arch, "libssl-3" + m.cryptoEnding});
    }
    const std::string exe = runFolder + "\\linkmoor-customer-module-gui.exe";
    std::string log;
    auto line = [&](const std::string& text) { log += text + "\r\n"; };
    line("Linkmoor Technician Edition - Customer Module Version 2.5");
    line(e.systemLine + m.label);
    line("CreateDirectory: " + runFolder);
    line("******* unpack files **********");
    line("CreateDirectory: " + runFolder + "\\" + m.arch);
    std::vector<std::string> written;
    for (const File& f : files) {
        line("source file:" + f.entry);
        line("Install File: " + runFolder + "\\" + f.target);
        written.push_back(runFolder + "\\" + f.target);
    }
    line("******* launch CM **********");
    line("Launch path: " + exe);
    line(e.identifier.empty() ? "Launch path: " + exe : "id: " + e.identifier);
    log += kCustomerModuleStderrLine;
    line("******* cleanup files *******");
    // Removed in the byte order of their paths.
    std::sort(written.begin(), written.end());
    for (const std::string& path : written) line("RemoveInstallFiles: " + path);
    line("DeleteFile: " + runFolder + "\\linkmoortechcsrv.exe.log");
    line("DeleteDirectory: " + runFolder + "\\" + m.arch);
    line("DeleteDirectory: " + runFolder);
    line("******* end **********");
    return log;
}

class WholeRunTest : public ::testing::Test {
protected:
    // Runs the child with the given Windows version; returns its result line.
    std::string Run(const char* child, const char* version, const std::string& identifier,
                    const std::string& seed = "") {
        CWindowsVersionChoice choice(child, version);
        CScopedEnvironment record(kCmRecordVariable, RecordPath());
        const std::string arguments = "\"" + m_work.Path() + "\" " +
                                      (identifier.empty() ? "-" : identifier) + " \"" +
                                      ResultPath() + "\" " + seed;
        const int code = RunProgram(ProgramFolder() + "\\" + child, arguments, 120000);
        EXPECT_EQ(code, 0) << child;
        return ReadFileBytes(ResultPath());
    }

    std::string RecordPath() const { return m_side.Join("record.txt"); }
    std::string ResultPath() const { return m_side.Join("result.txt"); }
    std::string Log() const { return ReadFileBytes(m_work.Join(kLogName)); }
    std::map<std::string, std::string> Record() const { return ReadRecord(RecordPath()); }

    // The run folder, as the customer module saw it: a name of 32 (or 33) hex characters in the
    // system's temp folder (`parent`).
    std::string RunFolderFromRecord(const std::string& parent = WindowsTempFolder()) {
        const std::string folder = Record()["current_folder"];
        const std::string prefix = parent + "\\";
        EXPECT_EQ(folder.compare(0, prefix.size(), prefix), 0) << folder;
        const std::string name = folder.substr(std::min(prefix.size(), folder.size()));
        EXPECT_TRUE(name.size() == 32 || name.size() == 33) << name;
        EXPECT_EQ(name.find_first_not_of("0123456789abcdef"), std::string::npos) << name;
        return folder;
    }

    void ExpectOnlyTheLogLeft() {
        EXPECT_EQ(ListFolder(m_work.Path()), std::vector<std::string>{kLogName});
    }

    CScratchFolder m_work;  // the work folder
    CScratchFolder m_side;  // record and result files, outside the work folder
};

TEST_F(WholeRunTest, Windows10WithAnIdentifierWritesTheWholeSequence) {
    ASSERT_EQ(Run(kChildFull, "win10", kIdentifier), "ok");
    const std::string runFolder = RunFolderFromRecord();
    EXPECT_EQ(Record()["command_line"], " -technician-id 101234567890");
    // The run folder was held by the launcher alone (no delete sharing), and the customer module
    // did not inherit that handle.
    EXPECT_EQ(Record()["inherited_folder_handles"], "0");
    EXPECT_EQ(Record()["folder_delete_error"], std::to_string(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Log(), ExpectedLog(runFolder, {"Windows 10.0 build 18362 ", true, true, kIdentifier}));
    EXPECT_FALSE(PathExists(runFolder));
    ExpectOnlyTheLogLeft();
}

// A compatibility setting for Windows 7 on Windows 10: the system line and the catalogue still
// follow the true version.
TEST_F(WholeRunTest, Windows10ReportedAsWindows7StillRunsAsWindows10) {
    CScopedEnvironment compatibility("LINKMOOR_TEST_REPORT_WINDOWS7", "1");
    ASSERT_EQ(Run(kChildFull, "win10", kIdentifier), "ok");
    const std::string runFolder = RunFolderFromRecord();
    EXPECT_EQ(Log(), ExpectedLog(runFolder, {"Windows 10.0 build 18362 ", true, true, kIdentifier}));
}

TEST_F(WholeRunTest, OnA64BitSystemTheLogFollowsTheTypicalRunLineForLine) {
    if (!IsWin64Prefix()) GTEST_SKIP() << "the typical log is that of 64-bit Windows 10 on x64";
    ASSERT_EQ(Run(kChildFull, "win10", kIdentifier), "ok");
    std::vector<std::string> typical = {
        "Linkmoor Technician Edition - Customer Module Version 2.5", "Windows 10.0 build ",
        "CreateDirectory: ", "******* unpack files **********", "CreateDirectory: "};
    for (int i = 0; i < 10; ++i) {
        typical.push_back("source file:");
        typical.push_back("Install File: ");
    }
    for (const char* text : {"******* launch CM **********", "Launch path: ", "id: ",
                             "******* cleanup files *******"})
        typical.push_back(text);
    for (int i = 0; i < 10; ++i) typical.push_back("RemoveInstallFiles: ");
    for (const char* text :
         {"DeleteFile: ", "DeleteDirectory: ", "DeleteDirectory: ", "******* end **********"})
        typical.push_back(text);

    std::vector<std::string> lines = SplitLines(Log());
    const std::string stderrLine(kCustomerModuleStderrLine, sizeof(kCustomerModuleStderrLine) - 3);
    const auto module = std::find(lines.begin(), lines.end(), stderrLine);
    ASSERT_NE(module, lines.end());
    lines.erase(module);
    ASSERT_EQ(lines.size(), typical.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].compare(0, typical[i].size(), typical[i]), 0) << lines[i];
    EXPECT_EQ(lines[1].substr(lines[1].size() - 4), " x64");
}

TEST_F(WholeRunTest, Windows81WithoutAnIdentifierReadsTheOlderCatalogue) {
    ASSERT_EQ(Run(kChildFull, "win81", ""), "ok");
    const std::string runFolder = RunFolderFromRecord();
    // No arguments: Windows makes the command line from the program's path.
    EXPECT_EQ(Unquoted(Record()["command_line"]), runFolder + "\\linkmoor-customer-module-gui.exe");
    EXPECT_EQ(Log(), ExpectedLog(runFolder, {"Windows 6.3 build 9600 ", false, true, ""}));
    EXPECT_FALSE(PathExists(runFolder));
    ExpectOnlyTheLogLeft();
}

TEST_F(WholeRunTest, APackageWithoutOpenSslStillRunsCompletely) {
    ASSERT_EQ(Run(kChildNoOpenSsl, "win10", kIdentifier), "ok");
    const std::string runFolder = RunFolderFromRecord();
    EXPECT_EQ(Log(), ExpectedLog(runFolder, {"Windows 10.0 build 18362 ", true, false, kIdentifier}));
    ExpectOnlyTheLogLeft();
}

TEST_F(WholeRunTest, AMissingTableEntryStopsTheRunAndLeavesWhatWasWritten) {
    const std::string result = Run(kChildMissingEntry, "win10", kIdentifier);
    ASSERT_EQ(result.compare(0, 12, "error 0 394 "), 0) << result;
    const std::vector<std::string> lines = SplitLines(Log());
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines.back(), "source file:qorvusbd.inf");
    EXPECT_EQ(lines[3], "******* unpack files **********");
    // The run folder stays with the four files written before the missing entry.
    const std::string createLine = lines[2];
    const std::string runFolder = createLine.substr(std::string("CreateDirectory: ").size());
    const Machine m = ThisMachine();
    std::vector<std::string> left = {m.arch, "linkmoor-customer-module-gui.dll",
                                     "linkmoor-customer-module-gui.exe", "linkmoortechcsrv.exe",
                                     "qorvusbd.cat"};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(ListFolder(runFolder), left);
    EXPECT_TRUE(Record().empty()) << "the customer module must not have been started";
    RemoveTree(runFolder);
}

TEST_F(WholeRunTest, AFileInUseAtCleanupIsLeftForTheNextReboot) {
    ClearPendingRenames();
    CScopedEnvironment mode(kCmModeVariable, kCmModeHelper);
    CScopedEnvironment helper(kCmHelperExeVariable,
                              ProgramFolder() + "\\test-customer-module.exe");
    CScopedEnvironment hold(kCmHoldMsVariable, "30000");
    ASSERT_EQ(Run(kChildFull, "win10", kIdentifier), "ok");
    auto record = Record();
    ASSERT_EQ(record["helper_ready"], "1");
    const std::string runFolder = RunFolderFromRecord();
    const std::string companionLog = runFolder + "\\linkmoortechcsrv.exe.log";

    const std::vector<std::string> lines = SplitLines(Log());
    const std::vector<std::string> tail = {
        "DeleteFile: " + companionLog,
        kWarning,
        "DeleteDirectory: " + runFolder + "\\" + ThisMachine().arch,
        "DeleteDirectory: " + runFolder,
        std::string(kWarning) + " (0x91)",
        "******* end **********",
    };
    ASSERT_GE(lines.size(), tail.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - tail.size(), lines.end()), tail);

    const std::vector<std::string> pending = ReadPendingRenames();
    // Only below the protected run folder in the system's temp folder: nothing the user can
    // rename and link elsewhere before the restart.
    const std::string protectedPrefix = NtPath(runFolder);
    for (size_t i = 0; i < pending.size(); i += 2)
        EXPECT_EQ(pending[i].compare(0, protectedPrefix.size(), protectedPrefix), 0) << pending[i];
    EXPECT_EQ(runFolder.compare(0, WindowsTempFolder().size(), WindowsTempFolder()), 0);
    for (const std::string& path : {companionLog, runFolder}) {
        const auto at = std::find(pending.begin(), pending.end(), NtPath(path));
        ASSERT_NE(at, pending.end()) << path;
        ASSERT_NE(at + 1, pending.end());
        EXPECT_EQ(*(at + 1), "") << "a deletion has no target";
    }

    // End the helper, then tidy what the reboot would have removed.
    const DWORD pid = std::strtoul(record["helper_pid"].c_str(), nullptr, 10);
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
    }
    EXPECT_TRUE(DeleteFileA(companionLog.c_str()));
    EXPECT_TRUE(RemoveDirectoryA(runFolder.c_str()));
    ClearPendingRenames();
}

// The seed's random part comes from a function looked up at run time: a wrong library or name
// would leave only the tick count, silently.
TEST(RunFolderSeed, TheSystemsRandomNumbersAreReached) {
    unsigned first = 0;
    unsigned second = 0;
    ASSERT_TRUE(FillWithSystemRandom(&first, sizeof(first)));
    ASSERT_TRUE(FillWithSystemRandom(&second, sizeof(second)));
    EXPECT_NE(first, second);
}

TEST_F(WholeRunTest, APlantedRunFolderIsNeverUsed) {
    constexpr unsigned kSeed = 20261208;
    // The names the run will draw from that seed, in order, in the system's temp folder where
    // every user may create folders. The first draw goes to the Windows folder's SystemTemp,
    // which Wine does not have.
    std::srand(kSeed);
    char refused[kRunFolderNameBuffer];
    DrawRunFolderName(refused);
    std::vector<std::string> names;
    for (int i = 0; i < kRunFolderAttempts + 1; ++i) {
        char name[kRunFolderNameBuffer];
        DrawRunFolderName(name);
        names.push_back(WindowsTempFolder() + "\\" + name);
    }
    struct Planted {
        const std::vector<std::string>& names;
        ~Planted() {
            for (const std::string& name : names) RemoveDirectoryA(name.c_str());
        }
    } planted{names};

    // One folder planted under the first name: the run draws again and uses the second.
    ASSERT_TRUE(CreateDirectoryA(names[0].c_str(), nullptr));
    ASSERT_EQ(Run(kChildFull, "win10", kIdentifier, std::to_string(kSeed)), "ok");
    EXPECT_EQ(Record()["current_folder"], names[1]);
    std::vector<std::string> lines = SplitLines(Log());
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[2], "CreateDirectory: " + names[0]);
    EXPECT_EQ(lines[3], "CreateDirectory: " + names[1]);
    EXPECT_EQ(lines[4], "******* unpack files **********");
    EXPECT_TRUE(ListFolder(names[0]).empty()) << "nothing may be written into the planted folder";
    EXPECT_FALSE(PathExists(names[1]));

    // Every name the run may try is planted: it gives up with 183 before unpacking anything.
    for (int i = 1; i < kRunFolderAttempts; ++i) ASSERT_TRUE(CreateDirectoryA(names[i].c_str(), nullptr));
    ASSERT_EQ(Run(kChildFull, "win10", kIdentifier, std::to_string(kSeed)), "error 19 1045 183");
    lines = SplitLines(Log());
    ASSERT_EQ(lines.size(), 2u + kRunFolderAttempts);
    for (int i = 0; i < kRunFolderAttempts; ++i)
        EXPECT_EQ(lines[2 + i], "CreateDirectory: " + names[i]);
    for (int i = 0; i < kRunFolderAttempts; ++i) EXPECT_TRUE(ListFolder(names[i]).empty());
    EXPECT_FALSE(PathExists(names[kRunFolderAttempts]));
}

TEST_F(WholeRunTest, TheModulesPathHoldsOnlyTheSystemsFoldersAndNothingOfTheLaunchers) {
    // A folder of the user's own in PATH, as %LOCALAPPDATA%\Microsoft\WindowsApps is on Windows.
    const std::string userFolder = m_side.Join("user-bin");
    ASSERT_TRUE(CreateDirectoryA(userFolder.c_str(), nullptr));
    char system[MAX_PATH] = {};
    char windows[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    GetSystemWindowsDirectoryA(windows, MAX_PATH);
    CScopedEnvironment path("PATH", userFolder + ";" + system + ";" + windows);
    CScopedEnvironment other("LINKMOOR_TEST_OTHER_VARIABLE", "the launcher's");

    ASSERT_EQ(Run(kChildFull, "win10", kIdentifier), "ok");
    auto record = Record();
    EXPECT_EQ(record["path"], std::string(system) + ";" + windows + ";" + system + "\\Wbem;" +
                                  system + "\\WindowsPowerShell\\v1.0");
    EXPECT_EQ(record["path"].find(userFolder), std::string::npos);
    EXPECT_EQ(record["launcher_env.LINKMOOR_TEST_OTHER_VARIABLE"], "the launcher's");
    EXPECT_EQ(record.count("env.LINKMOOR_TEST_OTHER_VARIABLE"), 0u);
    EXPECT_EQ(record["command_line"], " -technician-id 101234567890");
    ExpectOnlyTheLogLeft();
}

// Where the Windows folder's SystemTemp exists the run folder goes there; where creating it there
// is refused (a policy on that folder), the Windows folder's Temp takes it, and the log shows only
// the folder used.
TEST_F(WholeRunTest, TheWindowsSystemTempTakesTheRunFolderUnlessItRefusesIt) {
    char windows[MAX_PATH] = {};
    GetSystemWindowsDirectoryA(windows, MAX_PATH);
    const std::string systemTemp = std::string(windows) + "\\SystemTemp";
    ASSERT_TRUE(CreateDirectoryA(systemTemp.c_str(), nullptr)) << GetLastError();
    struct Removed {
        std::string path;
        ~Removed() { RemoveDirectoryA(path.c_str()); }
    } removed{systemTemp};

    for (bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "refused" : "admitted");
        std::optional<CScopedEnvironment> refusal;
        if (refused) refusal.emplace("LINKMOOR_TEST_REFUSE_SYSTEM_TEMP", "1");
        ASSERT_EQ(Run(kChildFull, "win10", kIdentifier), "ok");
        const std::string runFolder =
            RunFolderFromRecord(refused ? WindowsTempFolder() : systemTemp);
        EXPECT_EQ(Log(),
                  ExpectedLog(runFolder, {"Windows 10.0 build 18362 ", true, true, kIdentifier}));
        EXPECT_FALSE(PathExists(runFolder));
        EXPECT_TRUE(ListFolder(systemTemp).empty());
    }
}

}  // namespace
}  // namespace linkmoor::test
