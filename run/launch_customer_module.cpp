#include <cstdio>
#include <string>
#include <vector>

#include "diagnostics/exception_ex.h"
#include "diagnostics/raising_places.h"
#include "run/module_environment.h"
#include "run/module_table.h"
#include "run/run_log_lines.h"
#include "run/run_steps.h"
#include "win32/retry.h"
#include "win32/unique_handle.h"

namespace linkmoor {

namespace {

constexpr char kTechnicianIdSwitch[] = " -technician-id ";
constexpr DWORD kPauseAfterEndMs = 500;
constexpr size_t kRetriedArgumentSize = 48;

// On-access security software opens a program it has just seen written, without sharing, while
// it scans it: starting it fails with a sharing or lock violation, or access denied, for a few
// seconds. Other refusals (a virus found, a policy block, a missing or invalid file) are final.
constexpr RetryPauses kScannerPauses = {100, 2000, kLaunchRetryBoundMs};
DWORD g_scannerBoundMs = kScannerPauses.totalMs;

bool IsScannerHold(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

// Starts the customer module with `commandLine` (null: none) and `environment` (a wide block),
// waiting out a scanner's hold, and logs the retries when there were any. False with the last
// attempt's error as the last error.
bool StartCustomerModule(CInstaller& engine, const std::string& exePath, char* commandLine,
                         std::wstring& environment, const char* runFolder, STARTUPINFOA& startup,
                         PROCESS_INFORMATION& process) {
    RetryPauses pauses = kScannerPauses;
    pauses.totalMs = g_scannerBoundMs;
    const RetryOutcome outcome = RetryWhilePassing(
        pauses,
        [&] {
            return CreateProcessA(exePath.c_str(), commandLine, nullptr, nullptr, TRUE,
                                  CREATE_UNICODE_ENVIRONMENT, &environment[0], runFolder,
                                  &startup, &process) != FALSE;
        },
        IsScannerHold);
    if (outcome.attempts > 1) {
        char argument[kRetriedArgumentSize];
        std::snprintf(argument, sizeof(argument), kLaunchRetriedFormat,
                      static_cast<unsigned>(outcome.error), outcome.attempts);
        engine.Log(kLogLaunchRetried, argument);
        SetLastError(outcome.error);
    }
    return outcome.succeeded;
}

}  // namespace

void SetLaunchRetryBoundForTest(DWORD totalMs) { g_scannerBoundMs = totalMs; }

void LaunchCustomerModule(CInstaller& engine, HANDLE logFile, const char* runFolder,
                          const std::string& technicianId) {
    const std::string exePath = std::string(runFolder) + "\\" + kCustomerModuleExe;
    engine.Log(kLogLaunchPath, exePath.c_str());

    // Only standard error is handed over: the log file, inherited by the customer module.
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = nullptr;
    startup.hStdError = logFile;
    PROCESS_INFORMATION process{};
    // Nothing of the launcher's own environment, which the user's programs choose.
    std::wstring environment = CustomerModuleEnvironment(runFolder);

    if (!technicianId.empty()) {
        engine.Log(kLogTechnicianId, technicianId.c_str());
        // CreateProcessA may write into the command line, so it lives in a writable buffer.
        const std::string text = kTechnicianIdSwitch + technicianId;
        std::vector<char> commandLine(text.begin(), text.end());
        commandLine.push_back('\0');
        if (!StartCustomerModule(engine, exePath, commandLine.data(), environment, runFolder,
                                 startup, process)) {
            const DWORD error = GetLastError();
            throw new CExceptionEx(raising::kModuleRun, raising::kLineLaunchWithIdentifier, error);
        }
    } else {
        engine.Log(kLogLaunchPath, exePath.c_str());
        if (!StartCustomerModule(engine, exePath, nullptr, environment, runFolder, startup,
                                 process)) {
            const DWORD error = GetLastError();
            throw new CExceptionEx(raising::kModuleRun, raising::kLineLaunchWithoutIdentifier,
                                   error);
        }
    }

    UniqueKernelHandle processHandle(process.hProcess);
    UniqueKernelHandle threadHandle(process.hThread);
    WaitForSingleObject(processHandle.Get(), INFINITE);
    threadHandle.Reset();
    processHandle.Reset();
    Sleep(kPauseAfterEndMs);
}

}  // namespace linkmoor
