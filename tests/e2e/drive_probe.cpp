// Stands in for a launcher started from a network drive that the elevated session does not have:
// started from a drive letter, it writes READY, waits until GO exists (the test has taken the
// drive letter away meanwhile), then sets up the engine with its package step over a log at LOG.
// Usage: drive_probe READY GO LOG   (prints "error MODULE LINE CODE" or "ok")
#include <windows.h>

#include <cstdio>

#include "diagnostics/exception_ex.h"
#include "installer/installer.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    if (FILE* ready = std::fopen(argv[1], "wb")) std::fclose(ready);
    for (int i = 0; i < 3000 && GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(20);
    HANDLE log = CreateFileA(argv[3], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    try {
        linkmoor::CInstaller engine(log, /*openPackage=*/true, false, false, false);
        std::printf("ok\n");
    } catch (linkmoor::CExceptionEx* error) {
        std::printf("error %u %u %lu\n", unsigned(error->m_module), unsigned(error->m_line),
                    static_cast<unsigned long>(error->m_error));
        delete error;
    }
    CloseHandle(log);
    return 0;
}
