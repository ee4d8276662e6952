#pragma once
// The commands of linkmoor-pack, written once for every system on top of the file layer.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "tools/cli/command_line.h"

namespace linkmoor::package {
struct PackageInput;
}

namespace linkmoor::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // create, append or extract refused or failed
inline constexpr int kExitUsage = 64;  // the command line is not understood
// A report (standard output or standard error) could not be written whole.
inline constexpr int kExitNotWritten = 13;
// --strict: a warning (create, append, check) made the command fail; nothing was written.
inline constexpr int kExitStrictWarning = 14;

// Runs one command; messages go to `out` (results) and `err` (failures). Returns the exit code.
int RunPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The key byte used when none is given: taken from a digest of the names and contents, so the
// same inputs always give the same package.
uint8_t DefaultKeyByte(const std::vector<package::PackageInput>& entries);

// The format counts every size in 32 bits.
inline constexpr uint64_t kFormatSizeLimit = 0xFFFFFFFFull;

}  // namespace linkmoor::tools
