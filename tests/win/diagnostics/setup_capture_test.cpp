// The SetupAPI log capture under Wine, for real: the Setup key's "LogPath" points at a test
// folder, a setupapi.dev.log there grows while the log object is alive, and the launcher's log
// and the registry are checked before, during and after. The registry is left as found.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "diagnostics/setup_log_api.h"
#include "log_file.h"
#include "program.h"
#include "scratch_folder.h"
#include "setup_registry.h"
#include "whole_file.h"
#include "win32/unique_handle.h"
#include "windows_version_choice.h"

namespace linkmoor {
namespace {

using namespace test;

const std::string kBegin = "==== SetupApi log begin ====\r\n";
const std::string kEnd = "===== SetupApi log end =====\r\n";
constexpr uint32_t kOriginalLevel = 0x1234;

// Bytes of the given length that end without a line end and use every byte value.
std::string Growth(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 7 + i / 251) & 0xFF);
    if (size > 0) bytes[size - 1] = 'z';
    return bytes;
}

class SetupCapture : public ::testing::Test {
protected:
    void SetUp() override {
        SetLogPath(m_folder.Path());
        SetLogLevel(kOriginalLevel);
        m_logPath = m_folder.Join("launcher.log");
        m_setupLog = m_folder.Join("setupapi.dev.log");
        m_log.Reset(CreateLogFile(m_logPath));
        ASSERT_TRUE(m_log);
    }
    void TearDown() override {
        m_log.Reset();
        // The registry is left as the test found it.
        const SetupValues found = m_keeper->Noted();
        m_keeper.reset();
        EXPECT_TRUE(ReadSetupValues() == found);
    }

    // The launcher's log after a capture during which the SetupAPI log grew by `growth`.
    std::string LogAfterGrowth(const std::string& growth) {
        {
            CSetupLogApi log(m_log.Get());
            EXPECT_EQ(log.StartCapture(), 1);
            AppendFileBytes(m_setupLog, growth);
        }
        return ReadFileBytes(m_logPath);
    }

    std::optional<CSetupValuesKeeper> m_keeper{std::in_place};
    CScratchFolder m_folder;
    std::string m_logPath;
    std::string m_setupLog;
    UniqueFile m_log;
};

struct GrowthCase {
    const char* name;
    std::optional<std::string> before;  // nullopt: no SetupAPI log at the start
    std::string after;                  // the whole SetupAPI log at the end
    bool copied;                        // the bytes beyond `before` reach the launcher's log
};

TEST_F(SetupCapture, CopiesTheGrowthOnlyWhenBelowTwoMebibytes) {
    const std::string head = "[Device Install Log]\r\n";
    const GrowthCase cases[] = {
        {"small growth ending without a line end", head, head + "abc", true},
        {"growth ending in a line end", head, head + ">>> Section start\r\n", true},
        {"one byte", head, head + "x", true},
        {"0x1FFFFF bytes", head, head + Growth(0x1FFFFF), true},
        {"exactly 0x200000 bytes", head, head + Growth(0x200000), false},
        {"appears only after the start", std::nullopt, "new log\r\nsecond", true},
        {"appears after the start at 0x1FFFFF bytes", std::nullopt, Growth(0x1FFFFF), true},
        {"unchanged", head, head, false},
        {"shrunk", head + "more text", head, false},
        {"emptied", head, "", false},
    };
    for (const GrowthCase& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileA(m_setupLog.c_str());
        if (c.before) WriteFileBytes(m_setupLog, *c.before);
        m_log.Reset(CreateLogFile(m_logPath));
        {
            CSetupLogApi log(m_log.Get());
            ASSERT_EQ(log.StartCapture(), 1);
            EXPECT_EQ(log.m_startSize, c.before ? c.before->size() : 0u);
            EXPECT_EQ(ReadLogLevel(), 0x5050u);
            log.WriteLine("during the capture", nullptr);
            WriteFileBytes(m_setupLog, c.after);
        }
        EXPECT_EQ(ReadLogLevel(), kOriginalLevel);
        std::string expected = "during the capture\r\n";
        if (c.copied) expected += kBegin + c.after.substr(c.before ? c.before->size() : 0) + kEnd;
        std::string actual = ReadFileBytes(m_logPath);
        EXPECT_EQ(actual.size(), expected.size());
        EXPECT_TRUE(actual == expected) << "the launcher's log differs";
    }
}

TEST_F(SetupCapture, EndBannerFollowsTheLastCopiedCharacterOnTheSameLine) {
    WriteFileBytes(m_setupLog, "start\r\n");
    EXPECT_EQ(LogAfterGrowth("dvi: done"),
              "==== SetupApi log begin ====\r\n"
              "dvi: done===== SetupApi log end =====\r\n");
}

TEST_F(SetupCapture, ALogOfTwoGibibytesIsReadFromWhereItStoodAtTheStart) {
    // Sparse: the file system holds none of the 2 GiB.
    constexpr LONG kStartSize = LONG(0x80000000u + 16);
    {
        UniqueFile file(CreateFileA(m_setupLog.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        LONG high = 0;
        SetFilePointer(file.Get(), kStartSize, &high, FILE_BEGIN);
        ASSERT_TRUE(SetEndOfFile(file.Get()));
    }
    EXPECT_EQ(LogAfterGrowth("dvi: late"),
              "==== SetupApi log begin ====\r\n"
              "dvi: late===== SetupApi log end =====\r\n");
    DeleteFileA(m_setupLog.c_str());
}

TEST_F(SetupCapture, PathAndFieldsAfterTheStart) {
    WriteFileBytes(m_setupLog, "0123456789");
    CSetupLogApi log(m_log.Get());
    ASSERT_EQ(log.StartCapture(), 1);
    EXPECT_EQ(log.m_capturing, 1);
    EXPECT_EQ(log.m_restoreLevel, 1);
    EXPECT_EQ(log.m_savedLevel, kOriginalLevel);
    EXPECT_EQ(log.m_startSize, 10u);
    EXPECT_EQ(log.m_setupLogFile, INVALID_HANDLE_VALUE);
    EXPECT_NE(log.m_setupKey, nullptr);
    EXPECT_EQ(std::string(log.m_setupLogPath.get()), m_folder.Path() + "\\setupapi.dev.log");
}

TEST_F(SetupCapture, MissingLogLevelIsNeitherCreatedNorChanged) {
    DeleteSetupValue("LogLevel");
    {
        CSetupLogApi log(m_log.Get());
        ASSERT_EQ(log.StartCapture(), 1);
        EXPECT_EQ(log.m_restoreLevel, 0);
        EXPECT_EQ(ReadLogLevel(), std::nullopt);
        AppendFileBytes(m_setupLog, "grew");
    }
    EXPECT_EQ(ReadLogLevel(), std::nullopt);
    // The copy does not depend on the level.
    EXPECT_EQ(ReadFileBytes(m_logPath), kBegin + "grew" + kEnd);
}

TEST_F(SetupCapture, LogPathLengthLimit) {
    struct PathCase {
        const char* name;
        size_t length;  // characters, without the terminator
        bool used;
    };
    const PathCase cases[] = {
        {"259 characters and the terminator fit", 259, true},
        {"260 characters and the terminator do not", 260, false},
        {"far too long", 600, false},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string folder = "C:\\" + std::string(c.length - 3, 'p');
        SetLogPath(folder);
        CSetupLogApi log(m_log.Get());
        ASSERT_EQ(log.StartCapture(), 1);
        EXPECT_EQ(ReadLogLevel(), 0x5050u) << "the level is raised whatever the path";
        std::string path = log.m_setupLogPath.get();
        EXPECT_EQ(path, c.used ? folder + "\\setupapi.dev.log" : "");
    }
    EXPECT_EQ(ReadLogLevel(), kOriginalLevel);
}

TEST_F(SetupCapture, OversizedLogPathCopiesNothing) {
    SetLogPath(m_folder.Path() + "\\" + std::string(300, 'q'));
    WriteFileBytes(m_setupLog, "before");
    {
        CSetupLogApi log(m_log.Get());
        ASSERT_EQ(log.StartCapture(), 1);
        EXPECT_EQ(log.m_startSize, 0u);
        AppendFileBytes(m_setupLog, " and after");
    }
    EXPECT_EQ(ReadFileBytes(m_logPath), "");
    EXPECT_EQ(ReadLogLevel(), kOriginalLevel);
}

TEST_F(SetupCapture, LogPathIsUsedAsStored) {
    struct StoredCase {
        const char* name;
        DWORD type;
        std::string data;
        std::string path;
    };
    const StoredCase cases[] = {
        {"nothing expanded", REG_EXPAND_SZ, std::string("%SystemRoot%\\inf\0", 17),
         "%SystemRoot%\\inf\\setupapi.dev.log"},
        {"type not checked", REG_BINARY, "C:\\bin", "C:\\bin\\setupapi.dev.log"},
        {"trailing backslash kept", REG_SZ, std::string("C:\\logs\\\0", 9),
         "C:\\logs\\\\setupapi.dev.log"},
        {"empty value", REG_SZ, std::string("\0", 1), "\\setupapi.dev.log"},
    };
    for (const StoredCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSetupValue("LogPath", c.type, c.data);
        CSetupLogApi log(m_log.Get());
        ASSERT_EQ(log.StartCapture(), 1);
        EXPECT_EQ(std::string(log.m_setupLogPath.get()), c.path);
    }
}

TEST_F(SetupCapture, AbsentLogPathMeansTheInfFolder) {
    DeleteSetupValue("LogPath");
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    CSetupLogApi log(m_log.Get());
    ASSERT_EQ(log.StartCapture(), 1);
    EXPECT_EQ(std::string(log.m_setupLogPath.get()),
              std::string(windows) + "\\inf\\setupapi.dev.log");
    EXPECT_EQ(ReadLogLevel(), 0x5050u);
}

TEST_F(SetupCapture, FileHeldOpenElsewhereIsNotCopied) {
    struct HoldCase {
        const char* name;
        DWORD access;
        DWORD share;
    };
    const HoldCase cases[] = {
        {"held without sharing", GENERIC_READ, 0},
        {"held for reading, shared for reading", GENERIC_READ, FILE_SHARE_READ},
        {"held for writing, shared for everything", GENERIC_WRITE,
         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
    };
    for (const HoldCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(m_setupLog, "start\r\n");
        m_log.Reset(CreateLogFile(m_logPath));
        UniqueFile holder;
        {
            CSetupLogApi log(m_log.Get());
            ASSERT_EQ(log.StartCapture(), 1);
            AppendFileBytes(m_setupLog, "written while held");
            holder.Reset(CreateFileA(m_setupLog.c_str(), c.access, c.share, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(holder);
        }
        EXPECT_EQ(ReadFileBytes(m_logPath), "");
        EXPECT_EQ(ReadLogLevel(), kOriginalLevel);
        holder.Reset();
    }
    // Once nobody holds it, the same growth is copied.
    m_log.Reset(CreateLogFile(m_logPath));
    WriteFileBytes(m_setupLog, "start\r\n");
    {
        CSetupLogApi log(m_log.Get());
        ASSERT_EQ(log.StartCapture(), 1);
        AppendFileBytes(m_setupLog, "written while free");
    }
    EXPECT_EQ(ReadFileBytes(m_logPath), kBegin + "written while free" + kEnd);
}

TEST_F(SetupCapture, ClosesTheSetupApiLogAfterTheCopy) {
    WriteFileBytes(m_setupLog, "a");
    {
        CSetupLogApi log(m_log.Get());
        ASSERT_EQ(log.StartCapture(), 1);
        AppendFileBytes(m_setupLog, "b");
    }
    // Opening it without sharing succeeds only when no handle on it is left open.
    UniqueFile exclusive(CreateFileA(m_setupLog.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(exclusive);
}

TEST_F(SetupCapture, InvalidLogHandleStillRaisesAndRestoresTheLevel) {
    WriteFileBytes(m_setupLog, "start\r\n");
    {
        CSetupLogApi log(INVALID_HANDLE_VALUE);
        ASSERT_EQ(log.StartCapture(), 1);
        EXPECT_EQ(ReadLogLevel(), 0x5050u);
        AppendFileBytes(m_setupLog, "growth with nowhere to go");
    }
    EXPECT_EQ(ReadLogLevel(), kOriginalLevel);
    EXPECT_EQ(ReadFileBytes(m_logPath), "");
    EXPECT_EQ(ReadFileBytes(m_setupLog), "start\r\ngrowth with nowhere to go");
}

TEST_F(SetupCapture, NoCaptureStartedTouchesNothing) {
    WriteFileBytes(m_setupLog, "start\r\n");
    {
        CSetupLogApi log(m_log.Get());
        log.WriteLine("plain line", nullptr);
        AppendFileBytes(m_setupLog, "growth");
        EXPECT_EQ(ReadLogLevel(), kOriginalLevel);
    }
    EXPECT_EQ(ReadFileBytes(m_logPath), "plain line\r\n");
}


// Keeps a file's bytes (or its absence) and puts them back.
class CFileKeeper {
public:
    explicit CFileKeeper(std::string path) : m_path(std::move(path)) {
        if (PathExists(m_path)) m_bytes = ReadFileBytes(m_path);
    }
    ~CFileKeeper() {
        if (m_bytes)
            WriteFileBytes(m_path, *m_bytes);
        else
            DeleteFileA(m_path.c_str());
    }
    CFileKeeper(const CFileKeeper&) = delete;
    CFileKeeper& operator=(const CFileKeeper&) = delete;

private:
    std::string m_path;
    std::optional<std::string> m_bytes;
};

TEST_F(SetupCapture, WindowsVersionChoosesTheLogAndTheLevel) {
    const std::string probeName = "diagnostics_capture_probe.exe";
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    struct VersionCase {
        const char* wineVersion;
        std::string version;
        std::string path;
        std::string level;
    };
    const VersionCase cases[] = {
        {"winxp", "5.1", std::string(windows) + "\\setupapi.log", "0xffff"},
        {"win2k", "5.0", std::string(windows) + "\\setupapi.log", "0xffff"},
        {"vista", "6.0", m_setupLog, "0x5050"},
        {"win7", "6.1", m_setupLog, "0x5050"},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(c.wineVersion);
        CFileKeeper keepLegacyLog(std::string(windows) + "\\setupapi.log");
        WriteFileBytes(c.path, "earlier lines\r\n");
        std::string report = m_folder.Join("report.txt");
        std::string probeLog = m_folder.Join("probe.log");
        {
            CWindowsVersionChoice version(probeName, c.wineVersion);
            ASSERT_EQ(RunProgram(ProgramFolder() + "\\" + probeName,
                                 "\"" + probeLog + "\" \"" + report + "\" \"grown under " +
                                     c.wineVersion + "\"",
                                 60000),
                      0);
        }
        EXPECT_EQ(ReadFileBytes(report), "version=" + c.version + "\nstarted=1\nlevel=" + c.level +
                                             "\npath=" + c.path + "\n");
        EXPECT_EQ(ReadFileBytes(probeLog),
                  kBegin + "grown under " + c.wineVersion + kEnd);
        EXPECT_EQ(ReadLogLevel(), kOriginalLevel);
        DeleteFileA(m_setupLog.c_str());
    }
}

}  // namespace
}  // namespace linkmoor
