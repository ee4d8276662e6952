#include "program.h"

#include "win32/unique_handle.h"

namespace linkmoor::test {

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    return std::string(path, length);
}

std::string ProgramFolder() {
    const std::string path = ModulePath();
    return path.substr(0, path.rfind('\\'));
}

int RunProgram(const std::string& exePath, const std::string& arguments, DWORD timeoutMs) {
    std::string commandLine = "\"" + exePath + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &started))
        return -1;
    UniqueKernelHandle process(started.hProcess);
    UniqueKernelHandle thread(started.hThread);
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.Get(), timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.Get(), &code);
    else
        TerminateProcess(process.Get(), 1);
    return int(code);
}

}  // namespace linkmoor::test
