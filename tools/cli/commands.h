#pragma once
// The commands of linkmoor-pack, each run on a parsed command line: results go to `out`,
// refusals, failures and warnings to `err`. Each returns the exit code.

#include <iosfwd>
#include <string>

#include "tools/cli/command_line.h"

namespace linkmoor::tools {

int RunCreate(const CommandLine& line, std::ostream& out, std::ostream& err);
int RunAppend(const CommandLine& line, std::ostream& out, std::ostream& err);
int RunVerify(const CommandLine& line, std::ostream& out, std::ostream& err);
int RunList(const CommandLine& line, std::ostream& out, std::ostream& err);
int RunExtract(const CommandLine& line, std::ostream& out, std::ostream& err);
int RunCheck(const CommandLine& line, std::ostream& out, std::ostream& err);
int RunDiff(const CommandLine& line, std::ostream& out, std::ostream& err);

// "linkmoor-pack: MESSAGE" on `err`; the exit code of a refused or failed command.
int Fail(std::ostream& err, const std::string& message);

// The one-line usage error of `line`'s command; exit code 64.
int Usage(std::ostream& err, const CommandLine& line, const std::string& message);

// Shows a warning ("warning: ...") on `err`, unless it is empty or --quiet is given; with
// --strict it is an error, shown even with --quiet. True when the command must stop there.
bool Warn(std::ostream& err, const CommandLine& line, const std::string& warning);

// The usage error of a command that takes `count` operands, `synopsis` ("FILE DIR"): too few is
// "extract needs FILE DIR", too many names the first extra one.
int WrongOperands(std::ostream& err, const CommandLine& line, size_t count, const std::string& synopsis);

// Whether an output may be written at `path`: nothing stands there, or a file that `force` lets
// the command replace (it may still refuse that file for reasons of its own); anything else is
// refused with the reason. `exists` tells whether a file stands there.
std::string CheckOutputPath(const std::string& path, bool force, bool& exists);

}  // namespace linkmoor::tools
