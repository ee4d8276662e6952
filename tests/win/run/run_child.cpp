// A program that performs one whole customer-module run, the way the entry does: it creates the
// log file in the work folder (inheritable, truncated), constructs the run (whose run folder goes
// to the system's temp folder) and reports how it ended. Built several times, each copy carrying a different package; the whole-run tests start
// it with a Windows version chosen for its file name.
//
// Usage: <exe> WORK_FOLDER IDENTIFIER|- RESULT_FILE [SEED]
// RESULT_FILE receives "ok", or "error MODULE LINE ERROR" (decimal). With SEED the run folder's
// name is drawn from that seed (see FixRunFolderSeedForTest). With LINKMOOR_TEST_REPORT_WINDOWS7
// set, GetVersionExA reports Windows 7 whatever Wine's setting, as a compatibility setting makes
// it do on a newer Windows. With LINKMOOR_TEST_REFUSE_SYSTEM_TEMP set, creating a folder in the
// Windows folder's SystemTemp is refused (access denied), as a policy on that folder does.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "diagnostics/exception_ex.h"
#include "installer/installer_seams.h"
#include "log_file.h"
#include "run/silent_installer.h"

namespace {

BOOL WINAPI ReportWindows7(LPOSVERSIONINFOA info) {
    info->dwMajorVersion = 6;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 7601;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    return TRUE;
}

linkmoor::UniqueFile RefuseSystemTemp(const char* path) {
    if (std::strstr(path, "\\SystemTemp\\")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return linkmoor::UniqueFile();
    }
    return linkmoor::CreateProtectedFolder(path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    if (std::getenv("LINKMOOR_TEST_REPORT_WINDOWS7"))
        linkmoor::InstallerSeams().getVersionEx = &ReportWindows7;
    if (std::getenv("LINKMOOR_TEST_REFUSE_SYSTEM_TEMP"))
        linkmoor::InstallerSeams().createProtectedFolder = &RefuseSystemTemp;
    const std::string workFolder = argv[1];
    const std::string identifier = std::string(argv[2]) == "-" ? "" : argv[2];
    if (argc >= 5) linkmoor::FixRunFolderSeedForTest(unsigned(std::strtoul(argv[4], nullptr, 10)));

    const HANDLE log = linkmoor::test::CreateLogFile(workFolder + "\\" + linkmoor::kLogFileName);
    char result[96] = "ok";
    try {
        linkmoor::CSilentInstaller run(log, identifier);
    } catch (linkmoor::CExceptionEx* error) {
        std::snprintf(result, sizeof(result), "error %u %u %lu", unsigned(error->m_module),
                      unsigned(error->m_line), static_cast<unsigned long>(error->m_error));
        delete error;
    }
    if (log != INVALID_HANDLE_VALUE) CloseHandle(log);

    if (FILE* out = std::fopen(argv[3], "wb")) {
        std::fputs(result, out);
        std::fclose(out);
    }
    return 0;
}
