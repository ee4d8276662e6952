#pragma once
// The files one customer-module run unpacks: the fixed module table, the two optional OpenSSL
// libraries, and the rules that turn a row and the machine (architecture, Windows generation)
// into a package entry name and a target name below the run folder. The run walks these rules;
// the package tool checks packages against the same definition.

#include <string>
#include <vector>

#include "run/architecture.h"

namespace linkmoor {

struct ModuleEntry {
    const char* name;     // final file name and base of the package entry name
    bool archSpecific;    // one entry per architecture: name + package suffix
    bool archSubfolder;   // written into the architecture sub-folder (with archSpecific only)
    bool catalogVariant;  // before Windows 10 the entry is name + ".v7"
};

inline constexpr ModuleEntry kModuleTable[] = {
    {"linkmoor-customer-module-gui.dll", false, false, false},
    {"linkmoor-customer-module-gui.exe", true, false, false},
    {"linkmoortechcsrv.exe", true, false, false},
    {"qorvusbd.cat", false, false, true},
    {"qorvusbd.inf", false, false, false},
    {"qorvusbd.sys", true, true, false},
    {"qorvpnptls.sys", true, true, false},
    {"openssl-license.txt", false, false, false},
};

// Appended to a catalogue's entry name on systems older than Windows 10.
inline constexpr char kOlderCatalogSuffix[] = ".v7";

// The customer-module GUI (started by the run) and the companion executable, whose log file the
// run removes by name.
inline constexpr char kCustomerModuleExe[] = "linkmoor-customer-module-gui.exe";
inline constexpr char kCompanionExe[] = "linkmoortechcsrv.exe";
inline constexpr char kCompanionLogEnding[] = ".log";

// One optional OpenSSL library: its entry base name and its file base name.
struct CryptoLibrary {
    const char* packageBase;  // "libcrypto"
    const char* fileBase;     // "libcrypto-3"
};

inline constexpr CryptoLibrary kCryptoLibraries[] = {
    {"libcrypto", "libcrypto-3"},
    {"libssl", "libssl-3"},
};

std::string PackageEntryName(const ModuleEntry& row, Architecture architecture,
                             bool windows10OrNewer);
std::string TargetName(const ModuleEntry& row, Architecture architecture);

std::string CryptoEntryName(const char* packageBase, Architecture architecture);
std::string CryptoFileName(const char* fileBase, Architecture architecture);

// One file of a run: where it comes from in the package and where it goes below the run folder.
struct RunFile {
    std::string entry;
    std::string target;
    bool optional;  // the OpenSSL libraries: skipped when the package lacks them
};

// Every file one run can unpack on this machine, in the order the run writes them: the module
// table, then the OpenSSL libraries.
std::vector<RunFile> RunFiles(Architecture architecture, bool windows10OrNewer);

}  // namespace linkmoor
