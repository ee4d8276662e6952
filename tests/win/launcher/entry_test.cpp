// The entry's start-up flow under Wine with a run step of the test's own. The run step stands in
// for failures a real run cannot be brought to under Wine (an unreadable own file, an
// allocation failure); the boxes are read and pressed from a second thread.
#include "launcher/entry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>

#include "box_reader.h"
#include "refusable_allocation.h"
#include "diagnostics/exception_ex.h"
#include "installer/installer_seams.h"
#include "scratch_folder.h"
#include "whole_file.h"

namespace {

// Every allocation of one thread is refused until the test serves it again: memory stays short
// for everything the entry does after the failure. Other threads (the box watcher) are served.
std::atomic<DWORD> g_refusingThread{0};

bool RefuseEveryAllocationOfTheArmedThread(size_t) {
    return g_refusingThread.load() == GetCurrentThreadId();
}

void RefuseEveryAllocationOfThisThread() {
    g_refusingThread = GetCurrentThreadId();
    linkmoor::test::SetAllocationFilter(RefuseEveryAllocationOfTheArmedThread);
}

void ServeAllocationsAgain() {
    linkmoor::test::SetAllocationFilter(nullptr);
    g_refusingThread = 0;
}

using linkmoor::test::ReadFileBytes;
using linkmoor::test::UserTempFolder;
using linkmoor::test::WriteFileBytes;

constexpr char kLogName[] = "linkmoor-technician-customer-module.log";

std::string LogPath() { return UserTempFolder() + "\\" + kLogName; }

// Closed by the entry: the file can be opened without sharing again.
bool LogIsClosed() {
    HANDLE file = CreateFileA(LogPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// What the run step saw.
struct RunRecord {
    int calls = 0;
    HANDLE logFile = INVALID_HANDLE_VALUE;
    DWORD handleFlags = 0;
    std::string technicianId;
};
RunRecord g_run;

void RecordArguments(HANDLE logFile, const std::string& technicianId) {
    ++g_run.calls;
    g_run.logFile = logFile;
    GetHandleInformation(logFile, &g_run.handleFlags);
    g_run.technicianId = technicianId;
}

void WritingRun(HANDLE logFile, const std::string& technicianId) {
    RecordArguments(logFile, technicianId);
    DWORD count = 0;
    WriteFile(logFile, "run\r\n", 5, &count, nullptr);
}

// Installer errors counted as they are deleted: the entry owns and deletes what it catches.
std::atomic<int> g_deleted{0};
struct CountedError : linkmoor::CExceptionEx {
    using CExceptionEx::CExceptionEx;
    ~CountedError() override { ++g_deleted; }
};

void UnreadableOwnFile(HANDLE log, const std::string& id) {
    RecordArguments(log, id);
    throw static_cast<linkmoor::CExceptionEx*>(new CountedError(0xFFFF, 0xFFFF, 1359));
}
void OutOfMemoryInReader(HANDLE log, const std::string& id) {
    RecordArguments(log, id);
    throw static_cast<linkmoor::CExceptionEx*>(new CountedError(0xFFFF, 0xFFFD, 1359));
}
void LaunchFailure(HANDLE log, const std::string& id) {
    RecordArguments(log, id);
    throw static_cast<linkmoor::CExceptionEx*>(new CountedError(0, 168, 5));
}
void AllocationFailureThatLasts(HANDLE log, const std::string& id) {
    RecordArguments(log, id);
    RefuseEveryAllocationOfThisThread();
    throw std::bad_alloc();
}
void LaunchFailureWithoutMemory(HANDLE log, const std::string& id) {
    RecordArguments(log, id);
    auto* error = new CountedError(0, 168, 5);
    RefuseEveryAllocationOfThisThread();
    throw static_cast<linkmoor::CExceptionEx*>(error);
}
void OtherFailureWithoutMemory(HANDLE log, const std::string& id) {
    RecordArguments(log, id);
    std::runtime_error error("not an installer error");
    RefuseEveryAllocationOfThisThread();
    throw error;
}
void AllocationFailure(HANDLE log, const std::string& id) {
    RecordArguments(log, id);
    throw std::bad_alloc();
}
void OtherFailure(HANDLE log, const std::string& id) {
    RecordArguments(log, id);
    throw std::runtime_error("not an installer error");
}

class LauncherEntry : public ::testing::Test {
protected:
    void SetUp() override {
        g_run = RunRecord();
        g_deleted = 0;
    }
};

TEST_F(LauncherEntry, RunsOnceWithInheritableLogInUserTempAndClosesIt) {
    WriteFileBytes(LogPath(), "an earlier run's much longer log\r\n");
    EXPECT_EQ(linkmoor::LauncherMain(WritingRun), 0);
    EXPECT_EQ(g_run.calls, 1);
    EXPECT_NE(g_run.logFile, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(g_run.handleFlags & HANDLE_FLAG_INHERIT);
    EXPECT_EQ(g_run.technicianId, "");  // the test program's name carries no identifier
    // Truncated, not appended to.
    EXPECT_EQ(ReadFileBytes(LogPath()), "run\r\n");
    EXPECT_TRUE(LogIsClosed());
    DeleteFileA(LogPath().c_str());
}

struct BoxCase {
    const char* name;
    linkmoor::RunStep run;
    const char* text;
    const char* caption;
    bool icon;
    int deleted;  // installer errors deleted by the entry
};

class LauncherEntryBoxes : public LauncherEntry, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(LauncherEntryBoxes, ShowsTheMessageAndReturnsZero) {
    const BoxCase& c = GetParam();
    linkmoor::test::BoxContents seen;
    bool pressed = false;
    std::thread watcher([&] {
        HWND box = linkmoor::test::WaitForBox(GetCurrentProcessId(), nullptr, 20000);
        if (!box) return;
        seen = linkmoor::test::ReadBox(box);
        pressed = linkmoor::test::PressButton(box, "OK");
    });
    EXPECT_EQ(linkmoor::LauncherMain(c.run), 0);
    ServeAllocationsAgain();
    watcher.join();

    EXPECT_TRUE(pressed);
    EXPECT_EQ(seen.text, c.text);
    EXPECT_EQ(seen.caption, c.caption);
    EXPECT_EQ(seen.hasIcon, c.icon);
    ASSERT_EQ(seen.buttons.size(), 1u);
    EXPECT_EQ(seen.buttons[0].first, IDOK);
    EXPECT_EQ(g_run.calls, 1);
    EXPECT_EQ(g_deleted, c.deleted);
    EXPECT_TRUE(LogIsClosed());
    DeleteFileA(LogPath().c_str());
}

constexpr char kProduct[] = "Linkmoor Technician Edition - Customer Module";

INSTANTIATE_TEST_SUITE_P(
    Failures, LauncherEntryBoxes,
    ::testing::Values(
        BoxCase{"UnreadableOwnFile", UnreadableOwnFile, "Error while unpacking modules.", kProduct,
                true, 1},
        BoxCase{"OutOfMemoryInReader", OutOfMemoryInReader,
                "Not enough system resourses to complete the installation.", kProduct, true, 1},
        BoxCase{"LaunchFailure", LaunchFailure, "Module: 0 Line 168 Err 0x5\n",
                "Installation Error", false, 1},
        BoxCase{"AllocationFailure", AllocationFailure,
                "Not enough system resourses to complete the installation.", kProduct, true, 0},
        BoxCase{"OtherFailure", OtherFailure, "Unexpected error.", kProduct, true, 0},
        // Memory stays short from the failure on: the boxes need none.
        BoxCase{"AllocationFailureThatLasts", AllocationFailureThatLasts,
                "Not enough system resourses to complete the installation.", kProduct, true, 0},
        BoxCase{"LaunchFailureWithoutMemory", LaunchFailureWithoutMemory,
                "Module: 0 Line 168 Err 0x5\n", "Installation Error", false, 1},
        BoxCase{"OtherFailureWithoutMemory", OtherFailureWithoutMemory, "Unexpected error.",
                kProduct, true, 0}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

// The kernel's major version for the legacy gate; GetVersionExA says the opposite, as a
// compatibility setting would.
DWORD g_kernelMajor = 0;
bool KernelMajor(DWORD* major, DWORD* minor, DWORD* build) {
    *major = g_kernelMajor;
    *minor = 1;
    *build = 2600;
    return true;
}
BOOL WINAPI ReportsTheOtherSide(LPOSVERSIONINFOA info) {
    info->dwMajorVersion = g_kernelMajor < 6 ? 10 : 5;
    info->dwMinorVersion = g_kernelMajor < 6 ? 0 : 1;
    return TRUE;
}

TEST_F(LauncherEntry, LegacyGateFollowsTheKernelsVersionNotACompatibilitySetting) {
    const linkmoor::CInstallerSeams saved = linkmoor::InstallerSeams();
    linkmoor::InstallerSeams().kernelVersionNumbers = &KernelMajor;
    linkmoor::InstallerSeams().getVersionEx = &ReportsTheOtherSide;
    const struct {
        DWORD kernelMajor;
        bool notice;
    } cases[] = {{10, false}, {5, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kernelMajor);
        g_run = RunRecord();
        g_kernelMajor = c.kernelMajor;
        std::string text;
        std::thread watcher([&] {
            HWND box = linkmoor::test::WaitForBox(GetCurrentProcessId(), nullptr,
                                                  c.notice ? 20000 : 1);
            if (!box) return;
            text = linkmoor::test::ReadBox(box).text;
            linkmoor::test::PressButton(box, "Close");
        });
        EXPECT_EQ(linkmoor::LauncherMain(RecordArguments), 0);
        watcher.join();
        EXPECT_EQ(g_run.calls, c.notice ? 0 : 1);
        EXPECT_EQ(text.rfind("This version of the program is designed to run on Windows Vista", 0) == 0,
                  c.notice) << text;
        DeleteFileA(LogPath().c_str());
    }
    linkmoor::InstallerSeams() = saved;
}

TEST(LegacyDialogHook, RenamesYesAndNoAtActivation) {
    linkmoor::test::BoxContents seen;
    std::thread watcher([&] {
        HWND box = linkmoor::test::WaitForBox(GetCurrentProcessId(), nullptr, 20000);
        if (!box) return;
        seen = linkmoor::test::ReadBox(box);
        linkmoor::test::PressButton(box, "Close");
    });
    HHOOK hook = SetWindowsHookExA(WH_CBT, linkmoor::LegacyDialogHook, nullptr,
                                   GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    int choice = MessageBoxA(nullptr, "notice", "caption", MB_YESNO | MB_ICONINFORMATION);
    UnhookWindowsHookEx(hook);
    watcher.join();
    EXPECT_EQ(choice, IDNO);
    ASSERT_EQ(seen.buttons.size(), 2u);
    EXPECT_EQ(seen.buttons[0], std::make_pair(IDYES, std::string("Open Website")));
    EXPECT_EQ(seen.buttons[1], std::make_pair(IDNO, std::string("Close")));
}

}  // namespace
