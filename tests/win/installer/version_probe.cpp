// Constructs the engine under whatever Windows version Wine reports for this program and writes
// what it saw to the file named by its argument: "major.minor spN ten=0|1 error=module:line:code"
// (error=none when construction passed). Carries the product manifest, as the launcher does.

#include <cstdio>

#include "diagnostics/exception_ex.h"
#include "installer/installer.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    OSVERSIONINFOEXA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));
    char error[64] = "none";
    int ten = -1;
    try {
        linkmoor::CInstaller installer(INVALID_HANDLE_VALUE, false, true, false, false);
        ten = installer.IsWindows10OrNewer() ? 1 : 0;
    } catch (linkmoor::CExceptionEx* e) {
        snprintf(error, sizeof(error), "%u:%u:%u", e->m_module, e->m_line, e->m_error);
        delete e;
    }
    FILE* out = fopen(argv[1], "wb");
    if (!out) return 3;
    fprintf(out, "%lu.%lu sp%u ten=%d error=%s", version.dwMajorVersion, version.dwMinorVersion,
            version.wServicePackMajor, ten, error);
    fclose(out);
    return 0;
}
