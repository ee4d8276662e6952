#include "run/architecture.h"

namespace linkmoor {

namespace {

// Indexed by Architecture.
constexpr ArchitectureNames kNames[] = {
    {"x86", "\\x86", "x86\\", ".x86", ".dll.x86", ".dll", "x86"},
    {"amd64", "\\amd64", "amd64\\", ".amd64", ".dll.amd64", "-x64.dll", "x64"},
    {"arm64", "\\arm64", "arm64\\", ".arm64", ".dll.arm64", "-arm64.dll", "arm64"},
};

static_assert(sizeof(kNames) / sizeof(kNames[0]) == sizeof(kArchitectures) / sizeof(kArchitectures[0]),
              "one row of names per architecture");

}  // namespace

const ArchitectureNames& NamesOf(Architecture architecture) {
    return kNames[static_cast<size_t>(architecture)];
}

Architecture ClassifyArchitecture(bool is64BitWindows, bool isArm64Machine) {
    if (!is64BitWindows) return Architecture::X86;
    return isArm64Machine ? Architecture::Arm64 : Architecture::Amd64;
}

}  // namespace linkmoor
