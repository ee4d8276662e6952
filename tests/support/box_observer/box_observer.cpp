// Starts a program, waits for each message box it shows, writes what the box says to a file and
// presses the named button; at the end writes the program's exit code.
//
// Usage: box_observer [--env NAME=VALUE]... OUTFILE LABEL TIMEOUT_MS PROGRAM [ARGUMENT...]
// --env sets a variable for the program (TMP and TEMP under Wine are otherwise taken from the
// registry, which is shared by the whole prefix).
// LABEL is the button to press on every box ("-" closes the box with WM_CLOSE instead).
// OUTFILE receives, per box, a line "box" and the lines of FormatBox plus "pressed=<label>"; then
// "exit=<code>" or "exit=timeout" (the program is then ended).

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "box_reader.h"
#include "win32/unique_handle.h"

namespace {

std::wstring Quoted(const wchar_t* argument) {
    std::wstring out = L"\"";
    out += argument;
    out += L"\"";
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace linkmoor;
    while (argc > 2 && std::string(argv[1]) == "--env") {
        std::string assignment = argv[2];
        size_t equals = assignment.find('=');
        if (equals == std::string::npos) return 2;
        SetEnvironmentVariableA(assignment.substr(0, equals).c_str(),
                                assignment.substr(equals + 1).c_str());
        argc -= 2;
        argv += 2;
    }
    if (argc < 5) {
        std::fprintf(stderr, "usage: box_observer [--env NAME=VALUE]... OUTFILE LABEL TIMEOUT_MS "
                             "PROGRAM [ARG...]\n");
        return 2;
    }
    const char* outPath = argv[1];
    const std::string label = argv[2];
    const DWORD timeoutMs = DWORD(std::strtoul(argv[3], nullptr, 10));

    // The program and its arguments by their wide names: a program in a folder named outside the
    // ANSI code page starts under its own name.
    int wideCount = 0;
    UniqueLocalMemory wideArguments(CommandLineToArgvW(GetCommandLineW(), &wideCount));
    auto* wide = static_cast<LPWSTR*>(wideArguments.Get());
    const int program = wideCount - (argc - 4);
    if (!wide || program < 1) return 2;
    std::wstring commandLine = Quoted(wide[program]);
    for (int i = program + 1; i < wideCount; ++i) commandLine += L" " + Quoted(wide[i]);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(wide[program], &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        std::fprintf(stderr, "box_observer: cannot start %s: error %lu\n", argv[4],
                     GetLastError());
        return 3;
    }
    UniqueKernelHandle process(info.hProcess);
    UniqueKernelHandle thread(info.hThread);

    std::string report;
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) break;
        HWND box = test::WaitForBox(info.dwProcessId, process.Get(), timeoutMs - elapsed);
        if (!box) break;
        report += "box\n" + test::FormatBox(test::ReadBox(box));
        if (label == "-") {
            PostMessageA(box, WM_CLOSE, 0, 0);
            report += "pressed=-\n";
        } else if (test::PressButton(box, label)) {
            report += "pressed=" + label + "\n";
        } else {
            PostMessageA(box, WM_CLOSE, 0, 0);
            report += "pressed=none\n";
        }
        // Let the box go away before looking for the next one.
        while (test::FindBox(info.dwProcessId) == box && GetTickCount() - start < timeoutMs) {
            Sleep(20);
        }
    }

    DWORD elapsed = GetTickCount() - start;
    DWORD rest = elapsed < timeoutMs ? timeoutMs - elapsed : 0;
    if (WaitForSingleObject(process.Get(), rest) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.Get(), &code);
        report += "exit=" + std::to_string(code) + "\n";
    } else {
        TerminateProcess(process.Get(), 1);
        report += "exit=timeout\n";
    }

    FILE* out = std::fopen(outPath, "wb");
    if (!out) return 4;
    std::fwrite(report.data(), 1, report.size(), out);
    std::fclose(out);
    return 0;
}
