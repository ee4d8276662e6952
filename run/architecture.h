#pragma once
// The machine architecture as the run sees it, and every form its name takes in folders, package
// entries, file names and the log. The forms live in one table; code looks them up instead of
// branching on the architecture.

#include <cstddef>

namespace linkmoor {

enum class Architecture { X86, Amd64, Arm64 };

struct ArchitectureNames {
    const char* folder;              // "amd64": the architecture sub-folder of the run folder
    const char* subfolderPart;       // "\amd64": appended to the run folder
    const char* targetPrefix;        // "amd64\": put in front of a file written into that folder
    const char* packageSuffix;       // ".amd64": ends an architecture-specific entry name
    const char* cryptoPackageSuffix; // ".dll.amd64": ends an OpenSSL library's entry name
    const char* cryptoFileEnding;    // "-x64.dll": ends the OpenSSL library's file name
    const char* logLabel;            // "x64": last word of the system line in the log
};

inline constexpr Architecture kArchitectures[] = {Architecture::X86, Architecture::Amd64,
                                                  Architecture::Arm64};

// The forms of one architecture.
const ArchitectureNames& NamesOf(Architecture architecture);

// From the engine's two queries: not 64-bit Windows is X86; 64-bit on an ARM64 machine is Arm64;
// any other 64-bit Windows is Amd64.
Architecture ClassifyArchitecture(bool is64BitWindows, bool isArm64Machine);

}  // namespace linkmoor
