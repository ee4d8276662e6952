#pragma once
// The commands of linkmoor-pack, written once for every system on top of the file layer.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace linkmoor::package {
struct PackageInput;
}

namespace linkmoor::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // create, append or extract refused or failed
inline constexpr int kExitUsage = 64;  // the command line is not understood

extern const char kUsage[];

struct CommandLine {
    std::string command;
    std::vector<std::string> operands;
    bool force = false;
    bool keyGiven = false;
    uint8_t key = 0;
    std::vector<std::string> listFiles;
    std::string error;  // set when the command line is not understood
};

// Options: --force, --key N, --list FILE; "--" ends the options.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// Runs one command; messages go to `out` (results) and `err` (failures). Returns the exit code.
int RunPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The key byte used when none is given: taken from a digest of the names and contents, so the
// same inputs always give the same package.
uint8_t DefaultKeyByte(const std::vector<package::PackageInput>& entries);

// The format counts every size in 32 bits.
inline constexpr uint64_t kFormatSizeLimit = 0xFFFFFFFFull;

}  // namespace linkmoor::tools
