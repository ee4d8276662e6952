#include "run/silent_installer.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "diagnostics/exception_ex.h"
#include "diagnostics/raising_places.h"
#include "installer/windows_version.h"
#include "run/module_folders.h"
#include "run/module_table.h"
#include "run/run_folder_name.h"
#include "run/run_log_lines.h"
#include "run/run_steps.h"
#include "run/system_temp_folder.h"
#include "win32/entry_point.h"

namespace linkmoor {

namespace {

constexpr size_t kSystemLineSize = 256;

std::optional<unsigned> g_runFolderSeed;

// RtlGenRandom, exported as SystemFunction036.
using SystemRandomFn = BOOLEAN(WINAPI*)(void* buffer, ULONG length);
constexpr char kSystemRandom[] = "SystemFunction036";
constexpr char kCryptBaseDll[] = "cryptbase.dll";
constexpr char kAdvapi32Dll[] = "advapi32.dll";

// Looked up at run time, never imported: Windows 7 and later keep the function in cryptbase.dll,
// which is not a known system DLL, and advapi32 only forwards to it; as an import, the loader
// would look for cryptbase.dll in the launcher's own folder (a Downloads folder) first and run a
// planted copy elevated. Taken from cryptbase.dll in the system folder, or from advapi32 itself
// on the Windows versions that have no cryptbase.dll.
SystemRandomFn SystemRandom() {
    if (auto fill = SystemEntryPoint<SystemRandomFn>(kCryptBaseDll, kSystemRandom)) return fill;
    return SystemEntryPoint<SystemRandomFn>(kAdvapi32Dll, kSystemRandom);
}

// The tick count alone is known to within a few thousand values to anyone who watches the
// machine, and the shared Windows Temp folder lets every user create folders: mixed with the
// system's random numbers, nobody can plant folders under the names a run will draw.
unsigned RunFolderSeed() {
    unsigned random = 0;
    if (!FillWithSystemRandom(&random, sizeof(random))) random = 0;
    return unsigned(GetTickCount()) ^ random;
}

}  // namespace

bool FillWithSystemRandom(void* buffer, unsigned long size) {
    const SystemRandomFn fill = SystemRandom();
    return fill && fill(buffer, size);
}

void FixRunFolderSeedForTest(unsigned seed) { g_runFolderSeed = seed; }

CSilentInstaller::CSilentInstaller(HANDLE logFile, const std::string& technicianId)
    : CInstaller(logFile, /*openPackage=*/true, /*requireAdmin=*/true,
                 /*refuse64BitSystem=*/false, /*captureSetupLog=*/false) {
    const WindowsVersion version = TrueWindowsVersion();
    char systemLine[kSystemLineSize];
    std::snprintf(systemLine, sizeof(systemLine), kSystemLineFormat, static_cast<int>(version.major),
                  static_cast<int>(version.minor), static_cast<int>(version.build),
                  NamesOf(CurrentArchitecture(*this)).logLabel);
    Log(kProductBanner, nullptr);
    Log(systemLine, nullptr);

    // Pinned from its creation until just before its own removal; released on every way out.
    UniqueFile runFolderPin;
    const std::string runFolder = CreateRunFolder(runFolderPin);

    Log(kUnpackBanner, nullptr);
    UnpackModules(*this, runFolder.c_str());
    for (const CryptoLibrary& library : kCryptoLibraries)
        UnpackCryptoLibrary(*this, runFolder.c_str(), library.packageBase, library.fileBase);

    Log(kLaunchBanner, nullptr);
    CreateModuleFolders(runFolder);
    LaunchCustomerModule(*this, logFile, runFolder.c_str(), technicianId);

    Log(kCleanupBanner, nullptr);
    RemoveInstallFiles();
    DeleteFile(runFolder.c_str(), (std::string(kCompanionExe) + kCompanionLogEnding).c_str());
    const std::string archFolder = runFolder + NamesOf(CurrentArchitecture(*this)).subfolderPart;
    DeleteDirectory(archFolder.c_str());
    RemoveModuleFolders(*this, runFolder);
    runFolderPin.Reset();
    DeleteDirectory(runFolder.c_str());
    Log(kEndBanner, nullptr);
}

CSilentInstaller::~CSilentInstaller() = default;

std::string CSilentInstaller::CreateRunFolder(UniqueFile& pin) {
    // The run folder and everything that follows from its path (the unpacked files, the start of
    // the customer module, the clean-up, what is left for the next restart) lie in the system's
    // own temp folder: the work folder, where the log goes, may be the user's temp folder, which
    // every unelevated program of the user can redirect through a link.
    RunFolderParents parents;
    if (!SystemTempFolders(parents)) {
        const DWORD error = ::GetLastError();
        throw new CExceptionEx(raising::kModuleInstaller, raising::kLineCreateDirectory, error);
    }
    std::srand(g_runFolderSeed ? *g_runFolderSeed : RunFolderSeed());
    // The creation itself decides: SystemTemp may be missing, or refuse administrators (a policy,
    // a filter driver, an access list changed a moment ago), and the Windows folder's Temp is then
    // the place. Neither is a folder the user controls.
    std::string path;
    if (CreateRunFolderIn(parents.systemTemp, /*lastPlace=*/false, pin, path)) return path;
    CreateRunFolderIn(parents.windowsTemp, /*lastPlace=*/true, pin, path);
    return path;
}

bool CSilentInstaller::CreateRunFolderIn(const std::string& parent, bool lastPlace,
                                         UniqueFile& pin, std::string& path) {
    // Every user may create names in the system's temp folders, while a directory that exists
    // already serves the engine. Only a folder this run created itself, protected and pinned, may
    // receive an elevated run's files.
    for (int attempt = 0; attempt < kRunFolderAttempts; ++attempt) {
        char name[kRunFolderNameBuffer];
        DrawRunFolderName(name);
        path = parent + "\\" + name;
        if (lastPlace) {
            pin = CreateProtectedDirectory(path.c_str());
        } else if (!CreateProtectedDirectoryUnlessRefused(path.c_str(), pin)) {
            return false;
        }
        if (pin) return true;
    }
    throw new CExceptionEx(raising::kModuleInstaller, raising::kLineCreateDirectory,
                           ERROR_ALREADY_EXISTS);
}

}  // namespace linkmoor
