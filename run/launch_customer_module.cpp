#include <string>
#include <vector>

#include "diagnostics/exception_ex.h"
#include "diagnostics/raising_places.h"
#include "diagnostics/unique_handle.h"
#include "run/module_environment.h"
#include "run/module_table.h"
#include "run/run_log_lines.h"
#include "run/run_steps.h"

namespace linkmoor {

namespace {

constexpr char kTechnicianIdSwitch[] = " -technician-id ";
constexpr DWORD kPauseAfterEndMs = 500;

}  // namespace

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
    // The launcher's environment with a PATH of the system's folders only.
    std::wstring environment = CustomerModuleEnvironment();

    if (!technicianId.empty()) {
        engine.Log(kLogTechnicianId, technicianId.c_str());
        // CreateProcessA may write into the command line, so it lives in a writable buffer.
        const std::string text = kTechnicianIdSwitch + technicianId;
        std::vector<char> commandLine(text.begin(), text.end());
        commandLine.push_back('\0');
        if (!CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                            CREATE_UNICODE_ENVIRONMENT, &environment[0], runFolder, &startup,
                            &process)) {
            const DWORD error = GetLastError();
            throw new CExceptionEx(raising::kModuleRun, raising::kLineLaunchWithIdentifier, error);
        }
    } else {
        engine.Log(kLogLaunchPath, exePath.c_str());
        if (!CreateProcessA(exePath.c_str(), nullptr, nullptr, nullptr, TRUE,
                            CREATE_UNICODE_ENVIRONMENT, &environment[0], runFolder, &startup,
                            &process)) {
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
