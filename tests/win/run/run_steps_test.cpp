// The run's steps, each driven over an engine of the test's own: unpacking the module table and
// the OpenSSL libraries, and starting the customer module. The package is one made by the
// independent package maker at build time (every entry of every architecture and both
// catalogues; each file holds "contents of " and its entry name, the GUI entries hold the test
// customer module).
//
// Wine reports Windows 7 to this program (no version is chosen for it), so the catalogue comes
// from its ".v7" entry here; the whole-run tests cover Windows 10 and 8.1.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "catch_error.h"
#include "installer/installer.h"
#include "log_file.h"
#include "program.h"
#include "run/run_steps.h"
#include "run_test_support.h"
#include "scoped_environment.h"
#include "scratch_folder.h"
#include "stopwatch.h"
#include "text.h"
#include "whole_file.h"
#include "wine_prefix.h"

namespace linkmoor::test {
namespace {

constexpr char kPackageFile[] = "run-steps-package.bin";
constexpr char kIdentifier[] = "101234567890";

struct Expected {
    std::string entry;
    std::string target;
};

// Spelled out per architecture, for a system older than Windows 10.
std::vector<Expected> ExpectedFiles(const std::string& arch) {
    const bool x86 = arch == "x86";
    const std::string cryptoEnding = x86 ? ".dll" : (arch == "amd64" ? "-x64.dll" : "-arm64.dll");
    return {
        {"linkmoor-customer-module-gui.dll", "linkmoor-customer-module-gui.dll"},
        {"linkmoor-customer-module-gui.exe." + arch, "linkmoor-customer-module-gui.exe"},
        {"linkmoortechcsrv.exe." + arch, "linkmoortechcsrv.exe"},
        {"qorvusbd.cat.v7", "qorvusbd.cat"},
        {"qorvusbd.inf", "qorvusbd.inf"},
        {"qorvusbd.sys." + arch, arch + "\\qorvusbd.sys"},
        {"qorvpnptls.sys." + arch, arch + "\\qorvpnptls.sys"},
        {"openssl-license.txt", "openssl-license.txt"},
        {"libcrypto.dll." + arch, "libcrypto-3" + cryptoEnding},
        {"libssl.dll." + arch, "libssl-3" + cryptoEnding},
    };
}

BOOL WINAPI ReportArm64Machine(HANDLE, USHORT* processMachine, USHORT* nativeMachine) {
    *processMachine = IMAGE_FILE_MACHINE_I386;
    *nativeMachine = IMAGE_FILE_MACHINE_ARM64;
    return TRUE;
}

// Stands in for IsWow64Process2 on a 64-bit system: reports an x64 machine and leaves a
// last-error value no real call leaves, so a test sees whether the machine was asked last.
constexpr DWORD kQueryMark = 0x2A5A5;
BOOL WINAPI ReportX64MachineAndMark(HANDLE, USHORT* processMachine, USHORT* nativeMachine) {
    *processMachine = IMAGE_FILE_MACHINE_I386;
    *nativeMachine = IMAGE_FILE_MACHINE_AMD64;
    SetLastError(kQueryMark);
    return TRUE;
}

// A scratch work folder with a run folder and a log beside it, and an engine over that log that
// holds the test package.
class RunStepsTest : public ::testing::Test {
protected:
    void SetUp() override { Prepare("run"); }

    // A fresh run folder and log of the given name, and a fresh engine over them.
    void Prepare(const std::string& name) {
        m_engine.reset();
        m_log.reset();
        m_runFolder = m_work.Join(name);
        m_logPath = m_work.Join(name + ".log");
        ASSERT_TRUE(CreateDirectoryA(m_runFolder.c_str(), nullptr));
        m_log = std::make_unique<CLogFile>(m_logPath);
        m_engine = std::make_unique<CInstaller>(m_log->Handle(), false, false, false, false);
        const std::string package = ReadFileBytes(ProgramFolder() + "\\" + kPackageFile);
        ASSERT_EQ(m_engine->m_packedTools->LoadBytes(
                      reinterpret_cast<const uint8_t*>(package.data()), uint32_t(package.size()), 0),
                  1);
    }

    std::vector<std::string> LogLines() { return SplitLines(ReadFileBytes(m_logPath)); }

    void UnpackEverything() {
        UnpackModules(*m_engine, m_runFolder.c_str());
        UnpackCryptoLibrary(*m_engine, m_runFolder.c_str(), "libcrypto", "libcrypto-3");
        UnpackCryptoLibrary(*m_engine, m_runFolder.c_str(), "libssl", "libssl-3");
    }

    CScratchFolder m_work;
    std::string m_runFolder;
    std::string m_logPath;
    std::unique_ptr<CLogFile> m_log;
    std::unique_ptr<CInstaller> m_engine;
};

TEST_F(RunStepsTest, UnpacksTheFilesOfThisMachine) {
    ASSERT_FALSE(m_engine->IsWindows10OrNewer()) << "this program expects Wine's default Windows 7";
    struct Machine {
        const char* what;
        bool arm64;  // the engine's IsWow64Process2 slot reports an ARM64 machine
    } machines[] = {{"this machine", false}, {"an ARM64 machine (stand-in slot)", true}};

    for (const Machine& machine : machines) {
        SCOPED_TRACE(machine.what);
        Prepare(machine.arm64 ? "run-arm64" : "run-native");
        if (machine.arm64) m_engine->m_isWow64Process2 = &ReportArm64Machine;
        // On 32-bit Windows the machine does not matter: the files are the x86 ones.
        const std::string arch = !IsWin64Prefix() ? "x86" : (machine.arm64 ? "arm64" : "amd64");

        UnpackEverything();

        std::vector<std::string> expectedLog = {"CreateDirectory: " + m_runFolder + "\\" + arch};
        const std::string module = ReadFileBytes(ProgramFolder() + "\\test-customer-module.exe");
        for (const Expected& file : ExpectedFiles(arch)) {
            const std::string path = m_runFolder + "\\" + file.target;
            expectedLog.push_back("source file:" + file.entry);
            expectedLog.push_back("Install File: " + path);
            const bool isModule = file.entry.rfind("linkmoor-customer-module-gui.exe", 0) == 0;
            EXPECT_EQ(ReadFileBytes(path), isModule ? module : "contents of " + file.entry) << path;
            const auto recorded = m_engine->m_installed.find(path);
            EXPECT_TRUE(recorded != m_engine->m_installed.end() &&
                        recorded->second == CInstaller::kKindFile) << path;
        }
        EXPECT_EQ(LogLines(), expectedLog);
        // Only the architecture folder and the eight plus two files: nothing else is written.
        EXPECT_EQ(ListFolder(m_runFolder).size(), 9u);
        EXPECT_EQ(ListFolder(m_runFolder + "\\" + arch).size(), 2u);
    }
}

TEST_F(RunStepsTest, AMissingOrMiscasedTableEntryStopsWithLine394) {
    struct Case {
        const char* entry;
        const char* replacement;  // null: the entry is removed; else it is renamed to this
    } cases[] = {{"qorvusbd.inf", nullptr}, {"qorvusbd.inf", "Qorvusbd.inf"},
                 {"openssl-license.txt", "openssl-license.TXT"}};
    for (const Case& c : cases) {
        const std::string what = std::string(c.entry) + " -> " + (c.replacement ? c.replacement : "(none)");
        SCOPED_TRACE(what);
        Prepare("run-" + std::to_string(&c - cases));
        auto& files = m_engine->m_packedTools->m_files;
        auto node = files.extract(c.entry);
        ASSERT_FALSE(node.empty());
        if (c.replacement) {
            node.key() = c.replacement;
            files.insert(std::move(node));
        }
        auto error = CatchError([&] { UnpackModules(*m_engine, m_runFolder.c_str()); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->m_module, 0);
        EXPECT_EQ(error->m_line, 394);
        // The run stopped at that entry: its "source file:" line is the last, and what was
        // written before it stays.
        const std::vector<std::string> lines = LogLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), std::string("source file:") + c.entry);
        EXPECT_TRUE(PathExists(m_runFolder + "\\linkmoor-customer-module-gui.dll"));
        EXPECT_FALSE(PathExists(m_runFolder + "\\" + c.entry));
    }
}

TEST_F(RunStepsTest, AMissingDriverReportsTheErrorTheMachineQueryLeft) {
    // The machine is asked again for the row, right before its lookup: on 32-bit Windows the
    // query for the 64-bit system folder leaves ERROR_CALL_NOT_IMPLEMENTED; on 64-bit Windows
    // the machine query comes last.
    const bool win64 = IsWin64Prefix();
    const std::string arch = win64 ? "amd64" : "x86";
    m_engine->m_isWow64Process2 = &ReportX64MachineAndMark;
    ASSERT_EQ(m_engine->m_packedTools->m_files.erase("qorvusbd.sys." + arch), 1u);
    auto error = CatchError([&] { UnpackModules(*m_engine, m_runFolder.c_str()); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->m_line, 394);
    EXPECT_EQ(error->m_error, win64 ? kQueryMark : DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_EQ(LogLines().back(), "source file:qorvusbd.sys." + arch);
}

TEST_F(RunStepsTest, AMissingOpenSslLibraryIsPassedOverSilently) {
    const std::string arch = IsWin64Prefix() ? "amd64" : "x86";
    m_engine->m_packedTools->m_files.erase("libcrypto.dll." + arch);
    UnpackCryptoLibrary(*m_engine, m_runFolder.c_str(), "libcrypto", "libcrypto-3");
    EXPECT_TRUE(LogLines().empty());
    EXPECT_TRUE(ListFolder(m_runFolder).empty());
    // The other library is still written.
    UnpackCryptoLibrary(*m_engine, m_runFolder.c_str(), "libssl", "libssl-3");
    EXPECT_EQ(LogLines().size(), 2u);
    EXPECT_EQ(ListFolder(m_runFolder).size(), 1u);
}

class LaunchTest : public RunStepsTest {
protected:
    void SetUp() override {
        RunStepsTest::SetUp();
        m_record = m_work.Join("record.txt");
    }
    std::string ExePath() const { return m_runFolder + "\\linkmoor-customer-module-gui.exe"; }
    std::string m_record;
};

TEST_F(LaunchTest, WithAnIdentifierTheModuleGetsItAfterTheSwitch) {
    ASSERT_TRUE(PlaceCustomerModule(m_runFolder));
    CScopedEnvironment record(kCmRecordVariable, m_record);
    const int64_t start = NowMs();
    LaunchCustomerModule(*m_engine, m_log->Handle(), m_runFolder.c_str(), kIdentifier);
    const int64_t elapsed = NowMs() - start;

    auto got = ReadRecord(m_record);
    EXPECT_EQ(got["done"], "1");
    EXPECT_EQ(got["command_line"], " -technician-id 101234567890");
    EXPECT_EQ(got["current_folder"], m_runFolder);
    EXPECT_EQ(got["module_path"], ExePath());
    EXPECT_EQ(got["stderr_written"], "1");
    // The module's standard error is the log: its line follows the launch lines.
    const std::string log = ReadFileBytes(m_logPath);
    EXPECT_EQ(log, "Launch path: " + ExePath() + "\r\nid: 101234567890\r\n" +
                       kCustomerModuleStderrLine);
    // The pause after the module's end.
    EXPECT_GE(elapsed, 500);
}

TEST_F(LaunchTest, WithoutAnIdentifierThePathIsLoggedTwiceAndNoArgumentIsPassed) {
    ASSERT_TRUE(PlaceCustomerModule(m_runFolder));
    CScopedEnvironment record(kCmRecordVariable, m_record);
    LaunchCustomerModule(*m_engine, m_log->Handle(), m_runFolder.c_str(), "");

    auto got = ReadRecord(m_record);
    EXPECT_EQ(got["done"], "1");
    // Windows makes the command line from the application name: the path alone, no arguments
    // (Wine puts it in quotation marks).
    EXPECT_EQ(Unquoted(got["command_line"]), ExePath());
    EXPECT_EQ(got["current_folder"], m_runFolder);
    const std::string line = "Launch path: " + ExePath() + "\r\n";
    EXPECT_EQ(ReadFileBytes(m_logPath), line + line + kCustomerModuleStderrLine);
}

TEST_F(LaunchTest, AMissingModuleFailsWithTheLineOfItsCommandLine) {
    struct Case {
        const char* identifier;
        uint16_t line;
    } cases[] = {{kIdentifier, 168}, {"", 186}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        auto error = CatchError(
            [&] { LaunchCustomerModule(*m_engine, m_log->Handle(), m_runFolder.c_str(), c.identifier); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->m_module, 0);
        EXPECT_EQ(error->m_line, c.line);
        EXPECT_EQ(error->m_error, DWORD(ERROR_FILE_NOT_FOUND));
        // A missing file is no hold that passes: it is not tried again.
        EXPECT_EQ(ReadFileBytes(m_logPath).find("Launch retried"), std::string::npos);
    }
}

// Security software holds the fresh program without sharing while it scans it: the start is
// tried again until the hold ends, within a bound (shortened here), and the retries are logged.
TEST_F(LaunchTest, AScannersHoldOnTheModuleIsWaitedOut) {
    CScopedEnvironment record(kCmRecordVariable, m_record);
    const struct {
        DWORD holdMs;   // INFINITE: held until the launch has given up
        DWORD boundMs;
    } cases[] = {{2000, kLaunchRetryBoundMs}, {INFINITE, 1500}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.holdMs);
        Prepare(c.holdMs == INFINITE ? "held" : "scanned");
        ASSERT_TRUE(PlaceCustomerModule(m_runFolder));
        DeleteFileA(m_record.c_str());
        SetLaunchRetryBoundForTest(c.boundMs);
        HANDLE scanner = CreateFileA(ExePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(scanner, INVALID_HANDLE_VALUE);
        std::thread release([&] {
            if (c.holdMs == INFINITE) return;
            Sleep(c.holdMs);
            CloseHandle(scanner);
        });
        const int64_t start = NowMs();
        auto error = CatchError(
            [&] { LaunchCustomerModule(*m_engine, m_log->Handle(), m_runFolder.c_str(), kIdentifier); });
        const int64_t elapsed = NowMs() - start;
        release.join();
        if (c.holdMs == INFINITE) CloseHandle(scanner);
        SetLaunchRetryBoundForTest(kLaunchRetryBoundMs);

        const std::vector<std::string> lines = LogLines();
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[1], "id: 101234567890");
        EXPECT_EQ(lines[2].rfind("Launch retried: (0x20) ", 0), 0u) << lines[2];
        if (c.holdMs == INFINITE) {
            // Today's error after the bound: line 168 with the sharing violation.
            ASSERT_TRUE(error);
            EXPECT_EQ(error->m_line, 168);
            EXPECT_EQ(error->m_error, DWORD(ERROR_SHARING_VIOLATION));
            EXPECT_EQ(lines.size(), 3u);
            EXPECT_GE(elapsed, 1500);
            EXPECT_LT(elapsed, 10000);
        } else {
            EXPECT_FALSE(error);
            EXPECT_EQ(ReadRecord(m_record)["done"], "1");
            EXPECT_GE(elapsed, 2000);
        }
    }
}

TEST_F(LaunchTest, WaitsUntilTheModuleHasEnded) {
    ASSERT_TRUE(PlaceCustomerModule(m_runFolder));
    const std::string release = m_work.Join("release");
    CScopedEnvironment record(kCmRecordVariable, m_record);
    CScopedEnvironment mode(kCmModeVariable, kCmModeWait);
    CScopedEnvironment releaseFile(kCmReleaseVariable, release);
    int64_t releasedAt = 0;
    std::thread releaser([&] {
        Sleep(1500);
        releasedAt = NowMs();
        WriteFileBytes(release, "go");
    });
    LaunchCustomerModule(*m_engine, m_log->Handle(), m_runFolder.c_str(), kIdentifier);
    const int64_t returnedAt = NowMs();
    releaser.join();
    EXPECT_EQ(ReadRecord(m_record)["done"], "1");
    // Returned only after the module saw the release file and ended, plus the pause.
    EXPECT_GE(returnedAt - releasedAt, 500);
    EXPECT_LT(returnedAt - releasedAt, 20000);
}

TEST_F(LaunchTest, AnInvalidLogHandleStillStartsTheModule) {
    ASSERT_TRUE(PlaceCustomerModule(m_runFolder));
    CScopedEnvironment record(kCmRecordVariable, m_record);
    LaunchCustomerModule(*m_engine, INVALID_HANDLE_VALUE, m_runFolder.c_str(), kIdentifier);
    auto got = ReadRecord(m_record);
    EXPECT_EQ(got["command_line"], " -technician-id 101234567890");
    EXPECT_EQ(got["stderr_written"], "0");
}

}  // namespace
}  // namespace linkmoor::test
