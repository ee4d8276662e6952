#pragma once
// The package tool's command line: the command, its options (--opt value and --opt=value) and
// operands, and the help text of every command.

#include <cstdint>
#include <string>
#include <vector>

namespace linkmoor::tools {

struct CommandLine {
    std::string command;
    std::vector<std::string> operands;
    bool force = false;
    bool json = false;
    bool help = false;  // --help or -h: the command's help instead of the command
    bool quiet = false;   // --quiet: standard error for errors only (no warnings, no progress)
    bool strict = false;  // --strict: every warning is an error
    bool keyGiven = false;
    uint8_t key = 0;
    std::vector<std::string> listFiles;
    std::string error;  // set when the command line is not understood
};

// Options: --force, --json, --quiet, --strict, --key N, --list FILE, --help (-h); "--" ends the
// options and "-"
// is an operand. Each option is checked against the commands it belongs to.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The help of one command, or of all of them (an unknown or empty command).
std::string HelpText(const std::string& command);

// True for the commands the tool knows.
bool IsCommand(const std::string& command);

// "linkmoor-pack: MESSAGE (see 'linkmoor-pack COMMAND --help')", one line.
std::string UsageError(const std::string& command, const std::string& message);

// The tool's version lines: the tool, the launcher it builds packages for, the zlib it
// compresses with.
std::string VersionText();

inline constexpr char kProgram[] = "linkmoor-pack: ";

// The tool's own version; its outputs change only with a new one (or another zlib).
inline constexpr char kToolVersion[] = "1.2.0";

// `-` as create's output or as a list file: standard output or standard input.
inline constexpr char kStandardStream[] = "-";

}  // namespace linkmoor::tools
