#pragma once
// The log writer: one plain-text line per call (message, optional argument, CR LF) appended to
// the launcher's log file through a borrowed handle, flushed when the object goes away. It can
// also capture the growth of the Windows SetupAPI log into the launcher's log.

#include <windows.h>

#include <cstdint>
#include <memory>

namespace linkmoor {

class CSetupLogApi {
public:
    explicit CSetupLogApi(HANDLE logFile);
    virtual ~CSetupLogApi();
    CSetupLogApi(const CSetupLogApi&) = delete;
    CSetupLogApi& operator=(const CSetupLogApi&) = delete;

    // Writes message, then argument when not null, then CR LF, at the end of the file. Never
    // fails its caller: structured exceptions inside are dropped.
    void WriteLine(const char* message, const char* argument);

    int StartCapture();
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
