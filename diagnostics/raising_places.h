#pragma once
// The register of every place that raises CExceptionEx: module numbers, line numbers and the
// fixed error codes. Raising code names these constants, never bare numbers.

#include <cstdint>

namespace linkmoor::raising {

// Modules.
inline constexpr uint16_t kModuleInstaller = 19;  // CInstaller: construction and file operations
inline constexpr uint16_t kModuleRun = 0;         // CSilentInstaller: unpacking and launching

// Installer construction.
inline constexpr uint16_t kLineLogObject = 62;
inline constexpr uint16_t kLineAdministrator = 74;
inline constexpr uint16_t kLineServiceManager = 83;
inline constexpr uint16_t kLineWindowsVersion = 89;
inline constexpr uint16_t kLine64BitSystem = 101;
inline constexpr uint16_t kLinePackageReader = 117;

// Installer file operations.
inline constexpr uint16_t kLineBackupCopy = 729;
inline constexpr uint16_t kLineTempName = 855;
inline constexpr uint16_t kLineCreateFile = 940;
inline constexpr uint16_t kLineCreateTempFile = 962;
inline constexpr uint16_t kLineShortWriteTempFile = 972;
inline constexpr uint16_t kLineReplaceAtReboot = 981;
inline constexpr uint16_t kLineShortWrite = 998;
inline constexpr uint16_t kLineCreateDirectory = 1045;

// Customer-module run.
inline constexpr uint16_t kLineLaunchWithIdentifier = 168;
inline constexpr uint16_t kLineLaunchWithoutIdentifier = 186;
inline constexpr uint16_t kLineMissingEntry = 394;

// Fixed error codes.
inline constexpr uint32_t kErrorNoSuchPrivilege = 1313;   // ERROR_NO_SUCH_PRIVILEGE
inline constexpr uint32_t kErrorOldWindows = 1150;        // ERROR_OLD_WIN_VERSION
inline constexpr uint32_t kErrorPackage = 1359;           // ERROR_INTERNAL_ERROR, sub-code = reader status
inline constexpr uint32_t kError64BitSystem = 0xE0000233; // a 32-bit-only installation on 64-bit Windows

// The register: every raising place in the order of the groups above. Each one is explained for
// technicians in diagnostics/explanations.h, and a test keeps the two in step.
struct RaisingPlace {
    uint16_t module;
    uint16_t line;
};
inline constexpr RaisingPlace kRaisingPlaces[] = {
    {kModuleInstaller, kLineLogObject},         {kModuleInstaller, kLineAdministrator},
    {kModuleInstaller, kLineServiceManager},    {kModuleInstaller, kLineWindowsVersion},
    {kModuleInstaller, kLine64BitSystem},       {kModuleInstaller, kLinePackageReader},
    {kModuleInstaller, kLineBackupCopy},        {kModuleInstaller, kLineTempName},
    {kModuleInstaller, kLineCreateFile},        {kModuleInstaller, kLineCreateTempFile},
    {kModuleInstaller, kLineShortWriteTempFile}, {kModuleInstaller, kLineReplaceAtReboot},
    {kModuleInstaller, kLineShortWrite},        {kModuleInstaller, kLineCreateDirectory},
    {kModuleRun, kLineLaunchWithIdentifier},    {kModuleRun, kLineLaunchWithoutIdentifier},
    {kModuleRun, kLineMissingEntry},
};

// The package error carries the reader's 32-bit status split over module (bits 31..16) and
// line (bits 15..0); the sub-code joins them again.
inline uint16_t StatusHigh(int32_t status) { return uint16_t(uint32_t(status) >> 16); }
inline uint16_t StatusLow(int32_t status) { return uint16_t(uint32_t(status) & 0xFFFF); }
inline int32_t SubCode(uint16_t module, uint16_t line) {
    return int32_t((uint32_t(module) << 16) | line);
}

}  // namespace linkmoor::raising
