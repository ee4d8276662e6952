// A stand-in for the customer-module GUI, started by the run exactly as the real one would be.
// It records what it was given and can be told to behave in one of a few ways. The launcher gives
// it an environment of its own making, so what the test asks travels in the environment of the
// process that started it (the launcher, or the test program that runs the launch step), which it
// reads from that process's memory.
//
// Variables of the starting process:
//   LINKMOOR_TEST_CM_RECORD   path of the record file (written anew; nothing is recorded without it)
//   LINKMOOR_TEST_CM_MODE     "exit" (default): end at once (after the folder check below)
//                             "wait": stay alive until the file LINKMOOR_TEST_CM_RELEASE exists,
//                                     at most LINKMOOR_TEST_CM_WAIT_MS (default 30000) ms
//                             "helper": start a helper process (no inherited handles) that holds
//                                     "linkmoortechcsrv.exe.log" in the current folder open (for
//                                     reading, shared for reading only) for LINKMOOR_TEST_CM_HOLD_MS (default 5000) ms
//                                     after this module has ended (the helper then moves its own
//                                     current folder to its program's folder, so the run folder
//                                     is held only by the open file)
//   LINKMOOR_TEST_CM_HELPER_EXE  program started as the helper (default: this program). Point it
//                             at a copy outside the run folder, or the running helper keeps the
//                             module's own file busy too.
//
// Record file: one "key=value" line per item, LF-terminated, in this order:
//   command_line=<GetCommandLineA, verbatim>
//   current_folder=<GetCurrentDirectoryA>
//   module_path=<GetModuleFileNameA>
//   path=<the PATH variable it was started with>
//   temp_file_written=<1 when a file could be created in its TEMP folder, which it leaves there>
//   stderr_written=<1 when the whole stderr line was written, else 0>
//   inherited_folder_handles=<how many inheritable handles this process holds on its current
//                             folder: handles the launcher let it inherit>
//   folder_delete_error=<"exit" mode only: after moving its own current folder away, the error of
//                        opening the recorded current folder for deletion; 0 when that worked>
//   helper_pid=<process id>      (helper mode only)
//   helper_ready=<1 or 0>        (helper mode only: the helper had the file open before we ended)
//   env.NAME=<value>             one line per variable of its own environment
//   launcher_env.NAME=<value>    one line per variable of the starting process's environment
//   done=1                       (last line: the record is complete)
//
// Standard error receives exactly kCustomerModuleStderrLine, through the inherited handle. The
// variable names and the line are shared with the tests in customer_module_interface.h.

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "customer_module_interface.h"

namespace {

using namespace linkmoor::test;

constexpr char kHelperSwitch[] = "--hold-companion-log";
constexpr char kCompanionLog[] = "linkmoortechcsrv.exe.log";
constexpr DWORD kHelperReadyTimeoutMs = 10000;
constexpr char kLeftoverName[] = "\\leftover.tmp";
// Where a process of this build's bitness keeps its parameters (in its PEB) and their environment
// pointer, which follows the command line (0x10 and 0x48 in a 32-bit process, 0x20 and 0x80 in a
// 64-bit one). The launcher that starts this module is built for the same processor.
constexpr uintptr_t kPebProcessParameters = offsetof(PEB, ProcessParameters);
constexpr uintptr_t kParametersEnvironment =
    offsetof(RTL_USER_PROCESS_PARAMETERS, CommandLine) + sizeof(UNICODE_STRING);
constexpr uintptr_t kPage = 0x1000;
constexpr size_t kEnvironmentLimit = 1 << 20;

std::string Narrow(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), int(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string narrow(size_t(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), int(text.size()), &narrow[0], length, nullptr,
                            nullptr);
    return narrow;
}

// The "NAME=value" strings of an environment block.
std::vector<std::string> Variables(const wchar_t* block) {
    std::vector<std::string> variables;
    for (const wchar_t* at = block; at && *at; at += wcslen(at) + 1) variables.push_back(Narrow(at));
    return variables;
}

bool ReadFrom(HANDLE process, uintptr_t address, void* buffer, size_t size) {
    SIZE_T read = 0;
    return ReadProcessMemory(process, reinterpret_cast<const void*>(address), buffer, size, &read) &&
           read == size;
}

// The environment block of the process that started this one, read page by page up to its end.
std::wstring StartersEnvironment() {
    PROCESS_BASIC_INFORMATION own{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &own, sizeof(own),
                                  nullptr) != 0)
        return std::wstring();
    const DWORD parentId = DWORD(own.InheritedFromUniqueProcessId);
    const HANDLE parent =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, parentId);
    if (!parent) return std::wstring();
    std::wstring block;
    PROCESS_BASIC_INFORMATION info{};
    uintptr_t parameters = 0;
    uintptr_t environment = 0;
    if (NtQueryInformationProcess(parent, ProcessBasicInformation, &info, sizeof(info), nullptr) ==
            0 &&
        ReadFrom(parent, reinterpret_cast<uintptr_t>(info.PebBaseAddress) + kPebProcessParameters,
                 &parameters, sizeof(parameters)) &&
        ReadFrom(parent, parameters + kParametersEnvironment, &environment, sizeof(environment))) {
        for (uintptr_t at = environment; block.size() < kEnvironmentLimit;) {
            const size_t chunk = kPage - (at % kPage);
            std::wstring part(chunk / sizeof(wchar_t), L'\0');
            if (!ReadFrom(parent, at, &part[0], chunk)) break;
            block += part;
            at += chunk;
            if (block.find(std::wstring(2, L'\0')) != std::wstring::npos) break;
        }
    }
    CloseHandle(parent);
    return block;
}

// A variable of the starting process; empty when it has none.
std::string Env(const char* name) {
    static const std::wstring block = StartersEnvironment();
    const std::string prefix = std::string(name) + "=";
    for (const std::string& variable : Variables(block.c_str())) {
        if (variable.size() >= prefix.size() &&
            CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, variable.c_str(), int(prefix.size()),
                           prefix.c_str(), int(prefix.size())) == CSTR_EQUAL)
            return variable.substr(prefix.size());
    }
    return std::string();
}

std::string OwnEnv(const char* name) {
    char buffer[4096];
    const DWORD n = GetEnvironmentVariableA(name, buffer, sizeof(buffer));
    return (n > 0 && n < sizeof(buffer)) ? std::string(buffer, n) : std::string();
}

void AppendVariables(std::string& record, const char* prefix, const wchar_t* block) {
    for (const std::string& variable : Variables(block)) {
        record += prefix;
        record += variable;
        record += '\n';
    }
}

bool WriteLeftoverInTemp() {
    const std::string path = OwnEnv("TEMP") + kLeftoverName;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

DWORD EnvNumber(const char* name, DWORD fallback) {
    const std::string value = Env(name);
    return value.empty() ? fallback : static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
}

bool WriteStderrLine() {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const DWORD size = sizeof(kCustomerModuleStderrLine) - 1;
    return WriteFile(err, kCustomerModuleStderrLine, size, &written, nullptr) && written == size;
}

// Helper mode: "<exe> --hold-companion-log <ms> <event>".
int RunHelper(const char* arguments) {
    unsigned long holdMs = 0;
    char eventName[128] = {};
    if (std::sscanf(arguments, "%lu %127s", &holdMs, eventName) != 2) return 2;
    const HANDLE created = CreateFileA(kCompanionLog, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) return 3;
    DWORD written = 0;
    WriteFile(created, "busy\r\n", 6, &written, nullptr);
    CloseHandle(created);
    // Held for reading, shared for reading only: Windows refuses to delete it meanwhile.
    const HANDLE file = CreateFileA(kCompanionLog, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    // Leave the run folder: only the open file may keep it, so its removal meets a folder that is
    // not empty rather than one in use as a current folder.
    char ownPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, ownPath, sizeof(ownPath));
    if (char* slash = std::strrchr(ownPath, '\\')) *slash = '\0';
    SetCurrentDirectoryA(ownPath);
    if (HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName)) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    Sleep(holdMs);
    CloseHandle(file);
    return 0;
}

struct HelperResult {
    DWORD pid = 0;
    bool ready = false;
};

HelperResult StartHelper() {
    HelperResult result;
    char ownPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, ownPath, sizeof(ownPath));
    std::string exe = Env(kCmHelperExeVariable);
    if (exe.empty()) exe = ownPath;
    char eventName[64];
    std::snprintf(eventName, sizeof(eventName), "linkmoor-test-cm-helper-%lu",
                  static_cast<unsigned long>(GetCurrentProcessId()));
    const HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, eventName);
    std::string commandLine = "\"" + exe + "\" " + kHelperSwitch + " " +
                              std::to_string(EnvNumber(kCmHoldMsVariable, 5000)) + " " +
                              eventName;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        result.pid = process.dwProcessId;
        HANDLE waits[2] = {ready, process.hProcess};
        result.ready = WaitForMultipleObjects(2, waits, FALSE, kHelperReadyTimeoutMs) == WAIT_OBJECT_0;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (ready) CloseHandle(ready);
    return result;
}

void WaitForRelease() {
    const std::string release = Env(kCmReleaseVariable);
    const DWORD limit = EnvNumber(kCmWaitMsVariable, 30000);
    for (DWORD waited = 0; waited < limit; waited += 50) {
        if (!release.empty() && GetFileAttributesA(release.c_str()) != INVALID_FILE_ATTRIBUTES)
            return;
        Sleep(50);
    }
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// Handles are small multiples of 4: every one in use is looked at; the inheritable ones that
// refer to the current folder were handed down by the parent (this process's own current-folder
// handle is not inheritable).
int InheritedHandlesOnCurrentFolder() {
    const HANDLE own = CreateFileA(".", FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (own == INVALID_HANDLE_VALUE) return -1;
    BY_HANDLE_FILE_INFORMATION folder{};
    GetFileInformationByHandle(own, &folder);
    int count = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        const HANDLE handle = reinterpret_cast<HANDLE>(value);
        DWORD flags = 0;
        if (handle == own || !GetHandleInformation(handle, &flags)) continue;
        BY_HANDLE_FILE_INFORMATION info{};
        if ((flags & HANDLE_FLAG_INHERIT) && GetFileType(handle) == FILE_TYPE_DISK &&
            GetFileInformationByHandle(handle, &info) && SameFile(info, folder))
            ++count;
    }
    CloseHandle(own);
    return count;
}

// Whether anyone but this process keeps the folder from being removed or renamed.
DWORD DeleteOpenErrorAfterLeaving(const char* folder) {
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, sizeof(windows));
    SetCurrentDirectoryA(windows);
    const HANDLE handle = CreateFileA(folder, DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError();
    CloseHandle(handle);
    return 0;
}

void AppendLine(std::string& record, const char* key, const std::string& value) {
    record += key;
    record += '=';
    record += value;
    record += '\n';
}

void WriteRecord(const std::string& record) {
    const std::string path = Env(kCmRecordVariable);
    if (path.empty()) return;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* commandLine = GetCommandLineA();
    if (const char* helper = std::strstr(commandLine, kHelperSwitch))
        return RunHelper(helper + sizeof(kHelperSwitch) - 1);

    std::string record;
    AppendLine(record, "command_line", commandLine);
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof(folder), folder);
    AppendLine(record, "current_folder", folder);
    char ownPath[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, ownPath, sizeof(ownPath));
    AppendLine(record, "module_path", ownPath);
    AppendLine(record, "path", OwnEnv("PATH"));
    AppendLine(record, "temp_file_written", WriteLeftoverInTemp() ? "1" : "0");
    AppendLine(record, "stderr_written", WriteStderrLine() ? "1" : "0");
    AppendLine(record, "inherited_folder_handles",
               std::to_string(InheritedHandlesOnCurrentFolder()));

    const std::string mode = Env(kCmModeVariable);
    if (mode.empty() || mode == kCmModeExit)
        AppendLine(record, "folder_delete_error",
                   std::to_string(DeleteOpenErrorAfterLeaving(folder)));
    if (mode == kCmModeHelper) {
        const HelperResult helper = StartHelper();
        AppendLine(record, "helper_pid", std::to_string(helper.pid));
        AppendLine(record, "helper_ready", helper.ready ? "1" : "0");
    }
    wchar_t* own = GetEnvironmentStringsW();
    AppendVariables(record, "env.", own);
    FreeEnvironmentStringsW(own);
    AppendVariables(record, "launcher_env.", StartersEnvironment().c_str());
    AppendLine(record, "done", "1");
    WriteRecord(record);

    if (mode == kCmModeWait) WaitForRelease();
    return 0;
}
