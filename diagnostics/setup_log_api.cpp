// The log writer: lines go straight to the launcher's log file through a borrowed handle.

#include "diagnostics/setup_log_api.h"

#include <cstring>

#include "diagnostics/seh_guard.h"

namespace linkmoor {
namespace {

constexpr char kLineEnd[] = "\r\n";

// Writes the bytes of a zero-terminated string without its terminator.
bool WriteText(HANDLE file, const char* text) {
    DWORD written = 0;
    return WriteFile(file, text, DWORD(std::strlen(text)), &written, nullptr) != FALSE;
}

}  // namespace

CSetupLogApi::CSetupLogApi(HANDLE logFile) : m_logFile(logFile) {}

CSetupLogApi::~CSetupLogApi() {
    if (m_capturing == 1) EndCapture();
    if (m_logFile != INVALID_HANDLE_VALUE) FlushFileBuffers(m_logFile);
    if (m_setupKey != nullptr) {
        RegCloseKey(m_setupKey);
        m_setupKey = nullptr;
    }
    m_setupLogPath.reset();
}

void CSetupLogApi::WriteLine(const char* message, const char* argument) {
    if (m_logFile == INVALID_HANDLE_VALUE || message == nullptr) return;
    HANDLE file = m_logFile;
    // A bad pointer from a caller faults inside strlen or WriteFile; the line is then dropped.
    RunGuarded([file, message, argument] {
        // The end of the file: whatever another writer (the customer module through its
        // standard error) has put there comes before this line.
        SetFilePointer(file, 0, nullptr, FILE_END);
        if (!WriteText(file, message)) return;
        if (argument != nullptr && !WriteText(file, argument)) return;
        WriteText(file, kLineEnd);
    });
}

}  // namespace linkmoor
