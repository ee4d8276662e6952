// Fresh temporary names beside a file: for backup copies and for deferred replacements.

#include <cstdio>
#include <string>

#include "diagnostics/exception_ex.h"
#include "diagnostics/raising_places.h"
#include "installer/installer.h"

namespace linkmoor {

namespace {

constexpr char kFallbackNameFormat[] = "%s\\%s-%d%d%d.tmp";
constexpr size_t kMaxPath = 260;
constexpr DWORD kFallbackPauseMs = 100;  // keeps two fallback names in a row apart

}  // namespace

std::string CInstaller::MakeTempName(const char* prefix, const char* dir) {
    char name[kMaxPath + 1] = {};
    if (::GetTempFileNameA(dir, prefix, 0, name)) {
        // Windows created the file to reserve the name; the caller creates it again.
        ::DeleteFileA(name);
        return name;
    }
    DWORD error = ::GetLastError();

    SYSTEMTIME now;
    ::GetSystemTime(&now);
    int length = snprintf(name, sizeof(name), kFallbackNameFormat, dir, prefix, now.wMinute,
                          now.wSecond, now.wMilliseconds);
    if (length < 0 || static_cast<size_t>(length) > kMaxPath) {
        throw new CExceptionEx(raising::kModuleInstaller, raising::kLineTempName, error);
    }
    ::Sleep(kFallbackPauseMs);
    return name;
}

}  // namespace linkmoor
