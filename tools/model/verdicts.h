#pragma once
// How the package tool words the reader's status and which exit code goes with it. The same
// table holds for the Linux and the Windows build.

#include <cstdint>

namespace linkmoor::tools {

inline constexpr char kVerdictValid[] = "package valid";
inline constexpr char kVerdictDamaged[] = "no package, or the package is damaged";
inline constexpr char kVerdictNotRead[] = "the file cannot be read";
inline constexpr char kVerdictNoMemory[] = "not enough memory to load the package";
inline constexpr char kVerdictUnknown[] = "the reader reported an unknown status";

inline constexpr int kExitValid = 0;
inline constexpr int kExitDamaged = 1;
inline constexpr int kExitNotRead = 2;
inline constexpr int kExitNoMemory = 3;
inline constexpr int kExitUnknownStatus = 4;
// The package is valid, but what stands before it is no complete 32-bit Windows executable: no
// machine can start the file (verify, check).
inline constexpr int kExitNotLauncher = 8;
// check: a package file, with no launcher in front.
inline constexpr int kExitPackageWithoutLauncher = 9;
// verify, check: the package and the launcher are sound, but the certificate table the headers
// name is cut short, lies outside the file or is no well-formed table.
inline constexpr int kExitSignatureBroken = 12;

const char* VerdictOf(int32_t status);
int ExitCodeOf(int32_t status);

}  // namespace linkmoor::tools
