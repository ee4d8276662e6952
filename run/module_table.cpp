#include "run/module_table.h"

namespace linkmoor {

std::string PackageEntryName(const ModuleEntry& row, Architecture architecture,
                             bool windows10OrNewer) {
    std::string entry = row.name;
    if (row.archSpecific) entry += NamesOf(architecture).packageSuffix;
    if (row.catalogVariant && !windows10OrNewer) entry += kOlderCatalogSuffix;
    return entry;
}

std::string TargetName(const ModuleEntry& row, Architecture architecture) {
    std::string target = row.name;
    if (row.archSpecific && row.archSubfolder)
        target.insert(0, NamesOf(architecture).targetPrefix);
    return target;
}

std::string CryptoEntryName(const char* packageBase, Architecture architecture) {
    return std::string(packageBase) + NamesOf(architecture).cryptoPackageSuffix;
}

std::string CryptoFileName(const char* fileBase, Architecture architecture) {
    return std::string(fileBase) + NamesOf(architecture).cryptoFileEnding;
}

std::vector<RunFile> RunFiles(Architecture architecture, bool windows10OrNewer) {
    std::vector<RunFile> files;
    for (const ModuleEntry& row : kModuleTable)
        files.push_back({PackageEntryName(row, architecture, windows10OrNewer),
                         TargetName(row, architecture), false});
    for (const CryptoLibrary& library : kCryptoLibraries)
        files.push_back({CryptoEntryName(library.packageBase, architecture),
                         CryptoFileName(library.fileBase, architecture), true});
    return files;
}

}  // namespace linkmoor
