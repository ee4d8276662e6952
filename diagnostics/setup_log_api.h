#pragma once
// The log writer: one plain-text line per call (message, optional argument, CR LF) appended to
// the launcher's log file through a borrowed handle, flushed when the object goes away. It can
// also capture the growth of the Windows SetupAPI log into the launcher's log.

#include <windows.h>

#include <cstdint>
#include <memory>

namespace linkmoor {

// Banner lines around a copy of the SetupAPI log.
inline constexpr char kCaptureBeginBanner[] = "==== SetupApi log begin ====";
inline constexpr char kCaptureEndBanner[] = "===== SetupApi log end =====";

class CSetupLogApi {
public:
    static constexpr unsigned kSetupLogPathSize = 520;
    static constexpr uint32_t kMaxCapturedGrowth = 0x200000;  // growth copied only below 2 MiB

    explicit CSetupLogApi(HANDLE logFile);
    virtual ~CSetupLogApi();
    CSetupLogApi(const CSetupLogApi&) = delete;
    CSetupLogApi& operator=(const CSetupLogApi&) = delete;

    // Writes message, then argument when not null, then CR LF, at the end of the file. Never
    // fails its caller: structured exceptions inside are dropped.
    void WriteLine(const char* message, const char* argument);

    // Notes the size of the SetupAPI log and raises its level (Vista and later: "setupapi.dev.log"
    // in the folder named by the Setup key's "LogPath", level 0x5050; earlier: "setupapi.log" in
    // the Windows folder, level 0xFFFF). Returns 1 once the capture has started, 0 when there is
    // no memory for the path or the Setup key cannot be opened with full access. At most once,
    // before any line is written.
    int StartCapture();
    // Puts the level back and copies the growth of the SetupAPI log (when it grew by less than
    // 2 MiB and could be opened without sharing) between the two banners. Called by the
    // destructor of a started capture.
    void EndCapture();

    HANDLE m_logFile;
    HANDLE m_setupLogFile = INVALID_HANDLE_VALUE;
    HKEY m_setupKey = nullptr;
    int32_t m_capturing = 0;
    int32_t m_restoreLevel = 0;
    uint32_t m_startSize = 0;
    uint32_t m_savedLevel = 0;
    std::unique_ptr<char[]> m_setupLogPath;  // 520 bytes while a capture is set up
};

}  // namespace linkmoor
