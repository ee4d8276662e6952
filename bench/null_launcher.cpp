// The null launcher: the floor of what starting the customer module costs on this system. It
// starts CHILD exactly the way the launcher starts the customer module (the command line
// " -technician-id 101234567890", current folder FOLDER, the inheritable log file LOG as the only
// standard handle) and waits for it to end. No package, no unpacking, no pause afterwards.
//
//   null_launcher CHILD FOLDER LOG
//
// Exit code: 0 when the child ran, 1 when it could not be started, 64 on a wrong command line.

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "win32/unique_handle.h"

namespace {

constexpr char kCommandLine[] = " -technician-id 101234567890";

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc != 4) return 64;
    const char* child = __argv[1];
    const char* folder = __argv[2];
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.bInheritHandle = TRUE;
    linkmoor::UniqueFile log(CreateFileA(__argv[3], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         &attributes, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log) return 1;

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = log.Get();
    PROCESS_INFORMATION process{};
    std::vector<char> commandLine(kCommandLine, kCommandLine + sizeof(kCommandLine));
    if (!CreateProcessA(child, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, folder, &startup,
                        &process)) {
        return 1;
    }
    linkmoor::UniqueKernelHandle processHandle(process.hProcess);
    linkmoor::UniqueKernelHandle threadHandle(process.hThread);
    WaitForSingleObject(processHandle.Get(), INFINITE);
    return 0;
}
