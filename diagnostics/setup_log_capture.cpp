// Capture of the Windows SetupAPI device-installation log: at the start note how long that log
// is and raise its detail level; at the end put the level back and copy what was written in the
// meantime into the launcher's log between two banner lines.

#include <cstring>
#include <new>

#include "diagnostics/seh_guard.h"
#include "diagnostics/setup_log_api.h"

namespace linkmoor {

namespace {

constexpr char kSetupKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr char kLogPathValue[] = "LogPath";
constexpr char kLogLevelValue[] = "LogLevel";
constexpr char kDeviceLogName[] = "\\setupapi.dev.log";          // Vista and later, in LogPath
constexpr char kDefaultDeviceLog[] = "\\inf\\setupapi.dev.log";  // without LogPath
constexpr char kLegacyLog[] = "\\setupapi.log";                  // before Vista
constexpr DWORD kDeviceLogLevel = 0x5050;
constexpr DWORD kLegacyLogLevel = 0xFFFF;

}  // namespace

int CSetupLogApi::StartCapture() {
    int started = 0;
    bool completed = RunGuarded([this, &started] {
        OSVERSIONINFOEXA version{};
        version.dwOSVersionInfoSize = sizeof(version);
        GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));

        m_setupLogPath.reset(new (std::nothrow) char[kSetupLogPathSize]);
        if (!m_setupLogPath) return;
        char* path = m_setupLogPath.get();
        std::memset(path, 0, kSetupLogPathSize);

        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSetupKeyPath, 0, KEY_ALL_ACCESS, &m_setupKey) !=
            ERROR_SUCCESS) {
            m_setupKey = nullptr;
            return;
        }

        DWORD level;
        if (version.dwMajorVersion >= 6) {
            DWORD size = 0;
            if (RegQueryValueExA(m_setupKey, kLogPathValue, nullptr, nullptr, nullptr, &size) !=
                ERROR_SUCCESS) {
                GetWindowsDirectoryA(path, MAX_PATH);
                std::strcat(path, kDefaultDeviceLog);
            } else if (size <= MAX_PATH) {
                // Used as stored: neither its type is checked nor anything in it expanded.
                if (RegQueryValueExA(m_setupKey, kLogPathValue, nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(path), &size) == ERROR_SUCCESS)
                    std::strcat(path, kDeviceLogName);
                else
                    std::memset(path, 0, kSetupLogPathSize);
            }
            level = kDeviceLogLevel;
        } else {
            GetWindowsDirectoryA(path, MAX_PATH);
            std::strcat(path, kLegacyLog);
            level = kLegacyLogLevel;
        }

        WIN32_FIND_DATAA found;
        m_setupLogFile = FindFirstFileA(path, &found);
        if (m_setupLogFile != INVALID_HANDLE_VALUE) {
            m_startSize = found.nFileSizeLow;
            FindClose(m_setupLogFile);
            m_setupLogFile = INVALID_HANDLE_VALUE;
        }

        // A missing LogLevel is neither created nor changed.
        DWORD size = sizeof(m_savedLevel);
        if (RegQueryValueExA(m_setupKey, kLogLevelValue, nullptr, nullptr,
                             reinterpret_cast<BYTE*>(&m_savedLevel), &size) == ERROR_SUCCESS &&
            RegSetValueExA(m_setupKey, kLogLevelValue, 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&level), sizeof(level)) == ERROR_SUCCESS)
            m_restoreLevel = 1;

        m_capturing = 1;
        started = 1;
    });
    return completed ? started : 0;
}

void CSetupLogApi::EndCapture() {
    void* buffer = nullptr;
    RunGuarded([this, &buffer] {
        if (m_restoreLevel == 1)
            RegSetValueExA(m_setupKey, kLogLevelValue, 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&m_savedLevel), sizeof(m_savedLevel));

        // No sharing: while SetupAPI (or anyone) holds the file open, nothing is copied rather
        // than a file read that is being written.
        m_setupLogFile = CreateFileA(m_setupLogPath.get(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_setupLogFile == INVALID_HANDLE_VALUE) return;

        DWORD size = GetFileSize(m_setupLogFile, nullptr);
        if (size <= m_startSize || size - m_startSize >= kMaxCapturedGrowth) return;
        DWORD growth = size - m_startSize;

        // The start size as an unsigned offset: a log of 2 GiB or more is read from where it
        // stood at the start, not from its first byte.
        LONG high = 0;
        if (SetFilePointer(m_setupLogFile, LONG(m_startSize), &high, FILE_BEGIN) ==
                INVALID_SET_FILE_POINTER &&
            GetLastError() != NO_ERROR)
            return;
        buffer = VirtualAlloc(nullptr, growth, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (buffer == nullptr) return;
        DWORD read = 0;
        if (!ReadFile(m_setupLogFile, buffer, growth, &read, nullptr)) return;

        WriteLine(kCaptureBeginBanner, nullptr);
        DWORD written = 0;
        // Verbatim and without a line end of its own: the end banner follows the last byte.
        WriteFile(m_logFile, buffer, read, &written, nullptr);
        WriteLine(kCaptureEndBanner, nullptr);
    });
    if (buffer != nullptr) VirtualFree(buffer, 0, MEM_RELEASE);
    if (m_setupLogFile != INVALID_HANDLE_VALUE) {
        CloseHandle(m_setupLogFile);
        m_setupLogFile = INVALID_HANDLE_VALUE;
    }
}

}  // namespace linkmoor
