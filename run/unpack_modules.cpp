#include <string>

#include "diagnostics/exception_ex.h"
#include "diagnostics/raising_places.h"
#include "run/module_table.h"
#include "run/run_log_lines.h"
#include "run/run_steps.h"

namespace linkmoor {

Architecture CurrentArchitecture(CInstaller& engine) {
    const bool is64 = engine.Is64BitWindows();
    return ClassifyArchitecture(is64, is64 && engine.IsArm64Machine());
}

void UnpackModules(CInstaller& engine, const char* runFolder) {
    const Architecture architecture = CurrentArchitecture(engine);
    const std::string archFolder = std::string(runFolder) + NamesOf(architecture).subfolderPart;
    engine.CreateDirectory(archFolder.c_str());

    for (const ModuleEntry& row : kModuleTable) {
        // A row that depends on the machine asks again: the engine's queries keep nothing, and
        // the error of a missing entry carries the last-error value they leave.
        const Architecture rowArchitecture =
            row.archSpecific ? CurrentArchitecture(engine) : architecture;
        const bool windows10OrNewer = row.catalogVariant && engine.IsWindows10OrNewer();
        const std::string entry = PackageEntryName(row, rowArchitecture, windows10OrNewer);
        const std::string target = TargetName(row, rowArchitecture);
        engine.Log(kLogSourceFile, entry.c_str());

        const uint8_t* data = nullptr;
        uint32_t size = 0;
        if (!engine.m_packedTools || !engine.m_packedTools->GetFile(entry.c_str(), &data, &size)) {
            // The lookup sets no error of its own: the code is whatever the thread holds now.
            const DWORD error = GetLastError();
            throw new CExceptionEx(raising::kModuleRun, raising::kLineMissingEntry, error);
        }
        engine.InstallFile(target.c_str(), runFolder, data, size);
    }
}

void UnpackCryptoLibrary(CInstaller& engine, const char* runFolder, const char* packageBase,
                         const char* fileBase) {
    const Architecture architecture = CurrentArchitecture(engine);
    const std::string entry = CryptoEntryName(packageBase, architecture);
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!engine.m_packedTools || !engine.m_packedTools->GetFile(entry.c_str(), &data, &size))
        return;
    engine.Log(kLogSourceFile, entry.c_str());
    const std::string target = CryptoFileName(fileBase, architecture);
    engine.InstallFile(target.c_str(), runFolder, data, size);
}

}  // namespace linkmoor
