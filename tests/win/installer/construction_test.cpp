// Construction of the engine under Wine: the checks in their order, their errors and log lines,
// the queries, the RunOnce key and teardown.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "diagnostics/raising_places.h"
#include "diagnostics/setup_log_api.h"
#include "catch_error.h"
#include "installer_test_support.h"
#include "log_file.h"
#include "scratch_folder.h"
#include "whole_file.h"
#include "wine_prefix.h"

namespace linkmoor::test {
namespace {

struct Outcome {
    std::unique_ptr<CExceptionEx> error;
    std::string log;
};

Outcome Construct(bool requireAdmin, bool refuse64BitSystem, bool captureSetupLog = false) {
    CScratchFolder folder;
    Outcome outcome;
    {
        CLogFile log(folder.Join("engine.log"));
        outcome.error = CatchError([&] {
            CInstaller installer(log.Handle(), false, requireAdmin, refuse64BitSystem,
                                 captureSetupLog);
        });
        outcome.log = log.Contents();
    }
    return outcome;
}

TEST(Construction, CombinationsOfChecksOnThisPrefix) {
    const bool win64 = IsWin64Prefix();
    for (bool requireAdmin : {false, true}) {
        for (bool refuse64 : {false, true}) {
            SCOPED_TRACE(testing::Message() << "requireAdmin " << requireAdmin << " refuse64 "
                                            << refuse64);
            Outcome outcome = Construct(requireAdmin, refuse64);
            if (refuse64 && win64) {
                ASSERT_TRUE(outcome.error);
                EXPECT_EQ(outcome.error->m_module, 19);
                EXPECT_EQ(outcome.error->m_line, 101);
                EXPECT_EQ(outcome.error->m_error, 0xE0000233u);
                EXPECT_EQ(outcome.log, "Error: Install 32-bit package into 64-bit system\r\n");
            } else {
                EXPECT_FALSE(outcome.error);
                EXPECT_EQ(outcome.log, "");
            }
        }
    }
}

TEST(Construction, StartsTheSetupLogCaptureOnlyWhenAsked) {
    CScratchFolder folder;
    CLogFile log(folder.Join("engine.log"));
    for (bool capture : {false, true}) {
        CInstaller installer(log.Handle(), false, false, false, capture);
        ASSERT_TRUE(installer.m_log);
        EXPECT_EQ(installer.m_log->m_capturing, capture ? 1 : 0);
    }
}

TEST(Construction, FreshObjectState) {
    CScratchFolder folder;
    CLogFile log(folder.Join("engine.log"));
    CInstaller installer(log.Handle(), false, true, false, false);
    EXPECT_TRUE(installer.m_log);
    EXPECT_TRUE(installer.m_packedTools);
    EXPECT_EQ(installer.m_packedTools->m_status, 0);
    EXPECT_TRUE(installer.m_scManager.IsValid());
    EXPECT_TRUE(installer.m_installed.empty());
    EXPECT_TRUE(installer.m_backups.empty());
    EXPECT_EQ(installer.m_rebootRequired, 0);
    // Wine's kernel32, ntdll and msi carry these.
    EXPECT_NE(installer.m_getSystemWow64DirectoryA, nullptr);
    EXPECT_NE(installer.m_isWow64Process2, nullptr);
    EXPECT_NE(installer.m_rtlGetNtVersionNumbers, nullptr);
    EXPECT_NE(installer.m_msiEnumPatchesExA, nullptr);
    EXPECT_NE(installer.m_msiGetPatchInfoExA, nullptr);
    // newdev stays loaded; its slot holds whatever the library offers (Wine's has no
    // DiUninstallDriverA, and a missing entry point is no error).
    HMODULE newdev = GetModuleHandleA("newdev.dll");
    ASSERT_NE(newdev, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(installer.m_diUninstallDriverA),
              reinterpret_cast<void*>(GetProcAddress(newdev, "DiUninstallDriverA")));
}

// --- Queries ---------------------------------------------------------------------------------

BOOL WINAPI NativeArm64(HANDLE, USHORT* process, USHORT* native) {
    *process = IMAGE_FILE_MACHINE_I386;
    *native = IMAGE_FILE_MACHINE_ARM64;
    return TRUE;
}
BOOL WINAPI NativeArm64ButFails(HANDLE, USHORT* process, USHORT* native) {
    *process = IMAGE_FILE_MACHINE_I386;
    *native = IMAGE_FILE_MACHINE_ARM64;
    return FALSE;
}
BOOL WINAPI NativeAmd64(HANDLE, USHORT* process, USHORT* native) {
    *process = IMAGE_FILE_MACHINE_I386;
    *native = IMAGE_FILE_MACHINE_AMD64;
    return TRUE;
}

TEST(Queries, ArchitectureOfThisPrefix) {
    CInstaller installer(INVALID_HANDLE_VALUE, false, false, false, false);
    EXPECT_EQ(installer.Is64BitWindows(), IsWin64Prefix());
    EXPECT_FALSE(installer.IsArm64Machine());
    // Asked again, the answers stay.
    EXPECT_EQ(installer.Is64BitWindows(), IsWin64Prefix());
    EXPECT_FALSE(installer.IsArm64Machine());
    // A "not implemented" left by an earlier call does not make 64-bit Windows look 32-bit:
    // the query succeeds there without touching the last error.
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(installer.Is64BitWindows(), IsWin64Prefix());
}

// Wine has no ARM64: the IsWow64Process2 slot is replaced by answers of an ARM64 machine.
TEST(Queries, Arm64FromTheNativeMachineAnswer) {
    CInstaller installer(INVALID_HANDLE_VALUE, false, false, false, false);
    const struct {
        IsWow64Process2Fn slot;
        bool arm64;
    } cases[] = {{&NativeArm64, true},
                 {&NativeArm64ButFails, false},
                 {&NativeAmd64, false},
                 {nullptr, false}};
    for (const auto& c : cases) {
        installer.m_isWow64Process2 = c.slot;
        EXPECT_EQ(installer.IsArm64Machine(), c.arm64);
    }
}

TEST(Queries, NoWow64EntryPointMeans32BitWindows) {
    CInstaller installer(INVALID_HANDLE_VALUE, false, false, false, false);
    installer.m_getSystemWow64DirectoryA = nullptr;
    EXPECT_FALSE(installer.Is64BitWindows());
}

// --- Errors through the seams ------------------------------------------------------------------

// Token groups as a token would report them, built in a static buffer.
struct FakeGroups {
    bool withAdmins;
    DWORD adminAttributes;
};
FakeGroups g_groups;

BOOL WINAPI FakeTokenGroups(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID buffer, DWORD size,
                            PDWORD needed) {
    static SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    static SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    static PSID users = nullptr;
    static PSID everyone = nullptr;
    static PSID admins = nullptr;
    if (!users) {
        AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, 0,
                                 0, 0, 0, 0, 0, &users);
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
        AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                 0, 0, 0, 0, 0, &admins);
    }
    auto* groups = static_cast<TOKEN_GROUPS*>(buffer);
    if (size < sizeof(TOKEN_GROUPS) + 2 * sizeof(SID_AND_ATTRIBUTES)) return FALSE;
    groups->GroupCount = 0;
    groups->Groups[groups->GroupCount++] = {everyone, SE_GROUP_ENABLED};
    groups->Groups[groups->GroupCount++] = {users, SE_GROUP_ENABLED};
    if (g_groups.withAdmins) groups->Groups[groups->GroupCount++] = {admins, g_groups.adminAttributes};
    *needed = sizeof(TOKEN_GROUPS) + 2 * sizeof(SID_AND_ATTRIBUTES);
    return TRUE;
}

// A token whose groups need more than 64 KiB: the call reports the buffer as too small.
BOOL WINAPI OversizedTokenGroups(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD needed) {
    *needed = 0x10000 + 4;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
}

SC_HANDLE WINAPI RefusedServiceManager(LPCSTR, LPCSTR, DWORD) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

struct FakeVersion {
    DWORD major, minor;
    WORD servicePack;
};
FakeVersion g_version;

BOOL WINAPI FakeGetVersion(LPOSVERSIONINFOA info) {
    info->dwMajorVersion = g_version.major;
    info->dwMinorVersion = g_version.minor;
    info->dwBuildNumber = 1381;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    if (info->dwOSVersionInfoSize >= sizeof(OSVERSIONINFOEXA)) {
        reinterpret_cast<OSVERSIONINFOEXA*>(info)->wServicePackMajor = g_version.servicePack;
    }
    return TRUE;
}

BOOL WINAPI FailingGetVersion(LPOSVERSIONINFOA) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

// Systems before Windows XP have no kernel version call: GetVersionExA alone tells.
bool NoKernelVersionNumbers(DWORD*, DWORD*, DWORD*) { return false; }

void ReportOnlyThroughGetVersionEx(CInstallerSeams& s, FakeVersion version) {
    g_version = version;
    s.getVersionEx = &FakeGetVersion;
    s.kernelVersionNumbers = &NoKernelVersionNumbers;
}

CSetupLogApi* NoMemoryForLog(HANDLE) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}
CPackedTools* NoMemoryForReader() {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}
CPackedTools* ReaderWithoutBuffer() {
    auto* reader = new CPackedTools();
    reader->m_status = kPackageNoMemory;
    return reader;
}

struct ErrorCase {
    const char* what;  // the condition the seam stands in for
    void (*arrange)(CInstallerSeams&);
    bool requireAdmin;
    int module;  // -1: construction succeeds
    int line;
    uint32_t error;
    const char* log;
};

const ErrorCase kErrorCases[] = {
    {"no memory for the log object", [](CInstallerSeams& s) { s.newLog = &NoMemoryForLog; },
     true, 19, 62, ERROR_NOT_ENOUGH_MEMORY, ""},
    {"token without the Administrators group",
     [](CInstallerSeams& s) {
         g_groups = {false, 0};
         s.getTokenInformation = &FakeTokenGroups;
     },
     true, 19, 74, 1313, "Error: No such admin privilege\r\n"},
    {"token without the Administrators group, not asked to check",
     [](CInstallerSeams& s) {
         g_groups = {false, 0};
         s.getTokenInformation = &FakeTokenGroups;
     },
     false, -1, 0, 0, ""},
    {"token with Administrators as a deny-only group (started without elevation)",
     [](CInstallerSeams& s) {
         g_groups = {true, SE_GROUP_USE_FOR_DENY_ONLY};
         s.getTokenInformation = &FakeTokenGroups;
     },
     true, 19, 74, 1313, "Error: No such admin privilege\r\n"},
    {"token with the Administrators group enabled (elevated)",
     [](CInstallerSeams& s) {
         g_groups = {true, SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED |
                               SE_GROUP_OWNER};
         s.getTokenInformation = &FakeTokenGroups;
     },
     true, -1, 0, 0, ""},
    {"token whose group list does not fit in 64 KiB",
     [](CInstallerSeams& s) { s.getTokenInformation = &OversizedTokenGroups; }, true, 19, 74,
     1313, "Error: No such admin privilege\r\n"},
    {"service control manager refusing access",
     [](CInstallerSeams& s) { s.openSCManager = &RefusedServiceManager; }, true, 19, 83,
     ERROR_ACCESS_DENIED, "Error: Init Service Control Manager\r\n"},
    {"Windows NT 4",
     [](CInstallerSeams& s) { ReportOnlyThroughGetVersionEx(s, {4, 0, 6}); },
     true, 19, 89, 1150, "Error: System OS version\r\n"},
    {"Windows 2000 Service Pack 3",
     [](CInstallerSeams& s) { ReportOnlyThroughGetVersionEx(s, {5, 0, 3}); },
     true, 19, 89, 1150, "Error: System OS version\r\n"},
    {"Windows 2000 Service Pack 4",
     [](CInstallerSeams& s) { ReportOnlyThroughGetVersionEx(s, {5, 0, 4}); },
     true, -1, 0, 0, ""},
    {"Windows XP x64 without a service pack",
     [](CInstallerSeams& s) { ReportOnlyThroughGetVersionEx(s, {5, 2, 0}); },
     true, -1, 0, 0, ""},
    {"a Windows major version 11",
     [](CInstallerSeams& s) { ReportOnlyThroughGetVersionEx(s, {11, 0, 0}); },
     true, -1, 0, 0, ""},
    {"a failing version query",
     [](CInstallerSeams& s) {
         s.getVersionEx = &FailingGetVersion;
         s.kernelVersionNumbers = &NoKernelVersionNumbers;
     },
     true, 19, 89, 1150, "Error: System OS version\r\n"},
    {"Windows 2000 reported by a compatibility setting on a newer Windows",
     [](CInstallerSeams& s) {
         g_version = {5, 0, 0};
         s.getVersionEx = &FakeGetVersion;
     },
     true, -1, 0, 0, ""},
    {"no memory for the package reader",
     [](CInstallerSeams& s) { s.newReader = &NoMemoryForReader; }, true, 19, 117,
     ERROR_NOT_ENOUGH_MEMORY, "Error: Init installer\r\n"},
    {"a package reader without memory for its buffer",
     [](CInstallerSeams& s) { s.newReader = &ReaderWithoutBuffer; }, true, 65535, 65533, 1359,
     ""},
};

TEST(Construction, RegisteredErrorsThroughSeams) {
    for (const ErrorCase& c : kErrorCases) {
        SCOPED_TRACE(c.what);
        CSeamsRestorer restore;
        c.arrange(InstallerSeams());
        Outcome outcome = Construct(c.requireAdmin, false);
        if (c.module < 0) {
            EXPECT_FALSE(outcome.error);
        } else {
            ASSERT_TRUE(outcome.error);
            EXPECT_EQ(outcome.error->m_module, c.module);
            EXPECT_EQ(outcome.error->m_line, c.line);
            EXPECT_EQ(outcome.error->m_error, c.error);
        }
        EXPECT_EQ(outcome.log, c.log);
    }
}

// With several checks failing at once, the earliest in the fixed order decides.
TEST(Construction, ChecksRunInTheirFixedOrder) {
    CSeamsRestorer restore;
    CInstallerSeams& seams = InstallerSeams();
    g_groups = {false, 0};
    seams.newReader = &NoMemoryForReader;
    Outcome outcome = Construct(true, true);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->m_line, IsWin64Prefix() ? 101 : 117);  // reader after the refusal

    ReportOnlyThroughGetVersionEx(seams, {4, 0, 6});
    outcome = Construct(true, true);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->m_line, 89);  // version before the refusal

    seams.openSCManager = &RefusedServiceManager;
    outcome = Construct(true, true);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->m_line, 83);  // service manager before the version

    seams.getTokenInformation = &FakeTokenGroups;
    outcome = Construct(true, true);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->m_line, 74);  // administrator test first
    EXPECT_EQ(outcome.log, "Error: No such admin privilege\r\n");

    seams.newLog = &NoMemoryForLog;
    outcome = Construct(true, true);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->m_line, 62);  // before anything, and with nowhere to log
    EXPECT_EQ(outcome.log, "");
}

// The kernel's numbers as a compatibility setting leaves them, with the flag bits Windows puts
// into the build number.
struct KernelNumbers {
    DWORD major, minor, build;
};
KernelNumbers g_kernel;
bool FakeKernelVersionNumbers(DWORD* major, DWORD* minor, DWORD* build) {
    *major = g_kernel.major;
    *minor = g_kernel.minor;
    *build = g_kernel.build;
    return true;
}

TEST(Construction, WindowsTenAnswerFollowsTheVersion) {
    CInstaller installer(INVALID_HANDLE_VALUE, false, false, false, false);
    CSeamsRestorer restore;
    const struct {
        DWORD major;
        bool ten;
    } cases[] = {{6, false}, {9, false}, {10, true}, {11, true}};
    for (const auto& c : cases) {
        ReportOnlyThroughGetVersionEx(InstallerSeams(), {c.major, 0, 0});
        EXPECT_EQ(installer.IsWindows10OrNewer(), c.ten) << c.major;
    }
}

// A compatibility setting makes GetVersionExA report an older Windows; every decision follows
// the kernel's numbers instead.
TEST(Construction, VersionDecisionsIgnoreWhatACompatibilitySettingReports) {
    CSeamsRestorer restore;
    CInstallerSeams& seams = InstallerSeams();
    seams.kernelVersionNumbers = &FakeKernelVersionNumbers;
    seams.getVersionEx = &FakeGetVersion;
    const struct {
        FakeVersion reported;
        KernelNumbers kernel;
        bool ten;
    } cases[] = {
        {{5, 1, 3}, {10, 0, 0xF0000000 | 19045}, true},  // Windows XP SP3 compatibility on 10
        {{6, 1, 1}, {10, 0, 0xF0000000 | 22631}, true},  // Windows 7 compatibility on 11
        {{10, 0, 0}, {6, 3, 0xF0000000 | 9600}, false},  // nor does a 10.0 make 8.1 a Windows 10
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kernel.build & 0xFFFF);
        g_version = c.reported;
        g_kernel = c.kernel;
        const WindowsVersion version = TrueWindowsVersion();
        EXPECT_EQ(version.major, c.kernel.major);
        EXPECT_EQ(version.minor, c.kernel.minor);
        EXPECT_EQ(version.build, c.kernel.build & 0xFFFF);  // the flag bits masked
        CInstaller installer(INVALID_HANDLE_VALUE, false, true, false, false);
        EXPECT_EQ(installer.IsWindows10OrNewer(), c.ten);
    }
}

// Without a log file every check still runs and throws; only the lines are lost.
TEST(Construction, InvalidLogHandleStillThrows) {
    CSeamsRestorer restore;
    g_groups = {false, 0};
    InstallerSeams().getTokenInformation = &FakeTokenGroups;
    auto error = CatchError([] { CInstaller(INVALID_HANDLE_VALUE, false, true, false, false); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->m_line, 74);
    EXPECT_EQ(error->m_error, 1313u);
}

// A construction that fails late releases the log object (flushing its line) but leaves the
// entry's log handle open.
TEST(Construction, ReleasesWhatItAcquiredWhenALaterCheckFails) {
    CScratchFolder folder;
    CLogFile log(folder.Join("engine.log"));
    CSeamsRestorer restore;
    InstallerSeams().newReader = &NoMemoryForReader;
    auto error = CatchError([&] { CInstaller(log.Handle(), false, true, false, false); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->m_line, 117);
    // The log object flushed and let go of the file: the line is there and the handle (the
    // entry's) still works.
    EXPECT_EQ(log.Contents(), "Error: Init installer\r\n");
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(log.Handle(), "x", 1, &written, nullptr));
}

// --- RunOnce key ----------------------------------------------------------------------------

constexpr char kWindowsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

struct SavedValue {
    std::string name;
    DWORD type;
    std::string data;
};

TEST(Construction, CreatesTheRunOnceKeyAndSaysSoOnlyWhenItWasMissing) {
    HKEY windows;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWindowsKey, 0, KEY_ALL_ACCESS, &windows), 0);
    // Keep what the key holds, to put it back afterwards.
    std::vector<SavedValue> saved;
    HKEY runOnce;
    if (RegOpenKeyExA(windows, "RunOnce", 0, KEY_READ, &runOnce) == 0) {
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD nameSize = sizeof(name);
            BYTE data[4096];
            DWORD dataSize = sizeof(data);
            DWORD type = 0;
            if (RegEnumValueA(runOnce, i, name, &nameSize, nullptr, &type, data, &dataSize)) {
                break;
            }
            saved.push_back({name, type, std::string(reinterpret_cast<char*>(data), dataSize)});
        }
        RegCloseKey(runOnce);
    }
    ASSERT_EQ(RegDeleteKeyA(windows, "RunOnce"), 0);

    Outcome created = Construct(true, false);
    Outcome present = Construct(true, false);

    ASSERT_EQ(RegOpenKeyExA(windows, "RunOnce", 0, KEY_ALL_ACCESS, &runOnce), 0);
    for (const SavedValue& value : saved) {
        RegSetValueExA(runOnce, value.name.c_str(), 0, value.type,
                       reinterpret_cast<const BYTE*>(value.data.data()), DWORD(value.data.size()));
    }
    RegCloseKey(runOnce);
    RegCloseKey(windows);

    EXPECT_FALSE(created.error);
    EXPECT_EQ(created.log, "Create 'RunOnce' registry key entry\r\n");
    EXPECT_FALSE(present.error);
    EXPECT_EQ(present.log, "");
}

// --- Teardown ---------------------------------------------------------------------------------

TEST(Teardown, DeletesBackupsButLeavesInstalledFiles) {
    CScratchFolder folder;
    const std::string target = folder.Join("target.bin");
    WriteFileBytes(target, "old");
    std::string backup;
    {
        CInstaller installer(INVALID_HANDLE_VALUE, false, false, false, false);
        const uint8_t data[] = {'n', 'e', 'w'};
        installer.InstallFile("target.bin", folder.Path().c_str(), data, 3);
        installer.InstallFile("fresh.bin", folder.Path().c_str(), data, 3);
        ASSERT_EQ(installer.m_backups.size(), 1u);
        backup = installer.m_backups.begin()->second;
        EXPECT_EQ(ReadFileBytes(backup), "old");
    }
    EXPECT_FALSE(PathExists(backup));
    EXPECT_EQ(ReadFileBytes(target), "new");
    EXPECT_EQ(ReadFileBytes(folder.Join("fresh.bin")), "new");
}

}  // namespace
}  // namespace linkmoor::test
