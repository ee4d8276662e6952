// Starts a program, waits for it and prints its wall time and peak memory, so that every program
// of the end-to-end benchmark is timed and measured the same way.
//
//   measure PROGRAM [ARGUMENT]...
//
// Prints one line: wall_ms=<from just before CreateProcessA to the end of the wait>
// peak_working_set=<bytes> peak_pagefile=<bytes> exit_code=<the program's>. The peaks are the
// program's own PROCESS_MEMORY_COUNTERS, read every millisecond while it runs (a process that
// has ended may no longer report them) and once more at its end; the largest reading counts.
// Exit code: 0 when the program ran, 1 when it could not be started, 64 on a wrong command line.

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "win32/unique_handle.h"

namespace {

// One argument as the C runtime of the started program reads it back.
std::string Quoted(const char* argument) {
    if (*argument != '\0' && std::strpbrk(argument, " \t\"") == nullptr) return argument;
    std::string out = "\"";
    size_t backslashes = 0;
    for (const char* p = argument; *p; ++p) {
        if (*p == '\\') {
            ++backslashes;
            continue;
        }
        out.append(*p == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += *p;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

struct Peaks {
    SIZE_T workingSet = 0;
    SIZE_T pagefile = 0;

    void Read(HANDLE process) {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof(counters);
        if (!GetProcessMemoryInfo(process, &counters, sizeof(counters))) return;
        if (counters.PeakWorkingSetSize > workingSet) workingSet = counters.PeakWorkingSetSize;
        if (counters.PeakPagefileUsage > pagefile) pagefile = counters.PeakPagefileUsage;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: measure PROGRAM [ARGUMENT]...\n");
        return 64;
    }
    std::string text = Quoted(argv[1]);
    for (int i = 2; i < argc; ++i) text += " " + Quoted(argv[i]);
    std::vector<char> commandLine(text.begin(), text.end());
    commandLine.push_back('\0');

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "measure: cannot start %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    linkmoor::UniqueKernelHandle processHandle(process.hProcess);
    linkmoor::UniqueKernelHandle threadHandle(process.hThread);
    Peaks peaks;
    while (WaitForSingleObject(processHandle.Get(), 1) == WAIT_TIMEOUT) peaks.Read(processHandle.Get());
    QueryPerformanceCounter(&end);
    peaks.Read(processHandle.Get());
    DWORD exitCode = 0;
    GetExitCodeProcess(processHandle.Get(), &exitCode);
    const double wallMs = double(end.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
    std::printf("wall_ms=%.3f peak_working_set=%lu peak_pagefile=%lu exit_code=%lu\n", wallMs,
                static_cast<unsigned long>(peaks.workingSet), static_cast<unsigned long>(peaks.pagefile),
                static_cast<unsigned long>(exitCode));
    return 0;
}
