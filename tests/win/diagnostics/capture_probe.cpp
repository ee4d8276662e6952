// A separate program for the capture tests, so that Wine can report another Windows version for
// it alone: starts a capture over the given launcher log, grows the SetupAPI log it chose, ends
// the capture and writes what it saw to the report file.
// Usage: diagnostics_capture_probe <launcher log> <report file> <text to append>

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

#include "diagnostics/setup_log_api.h"
#include "win32/unique_handle.h"
#include "setup_registry.h"
#include "log_file.h"
#include "whole_file.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    using namespace linkmoor;

    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));

    std::string report;
    char line[64];
    std::snprintf(line, sizeof(line), "version=%lu.%lu\n", version.dwMajorVersion,
                  version.dwMinorVersion);
    report += line;
    UniqueFile logFile(test::CreateLogFile(argv[1]));
    {
        CSetupLogApi log(logFile.Get());
        int started = log.StartCapture();
        std::optional<uint32_t> level = test::ReadLogLevel();
        std::string path = log.m_setupLogPath ? log.m_setupLogPath.get() : "";
        std::snprintf(line, sizeof(line), "started=%d\nlevel=%s0x%x\n", started,
                      level ? "" : "absent ", level ? *level : 0u);
        report += line;
        report += "path=" + path + "\n";
        if (!path.empty()) test::AppendFileBytes(path, argv[3]);
    }
    logFile.Reset();
    test::WriteFileBytes(argv[2], report);
    return 0;
}
