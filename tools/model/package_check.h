#pragma once
// `linkmoor-pack check`: what every kind of customer machine would get from a package. For each
// architecture and each Windows generation the run's own file list (run/module_table.h) is looked
// up in the loaded package with the reader's own lookup, exactly as the launcher does it.

#include <iosfwd>
#include <string>
#include <vector>

#include "run/architecture.h"
#include "run/module_table.h"

namespace linkmoor {
class CPackedTools;
}

namespace linkmoor::tools {

// The package is valid, but at least one kind of machine would stop on a missing entry.
inline constexpr int kExitMachineFails = 5;

// The two Windows generations that choose different catalogue entries.
inline constexpr char kWindows10Label[] = "win10+";
inline constexpr char kOlderWindowsLabel[] = "win-older";

struct CheckCounts {
    int machines = 0;         // architecture and Windows generation pairs checked
    int failingMachines = 0;  // those whose run would stop on a missing entry
    int errors = 0;           // missing required entries, over all machines
    int warnings = 0;         // missing optional entries, over all machines
    int unused = 0;           // package entries no run asks for
};

// What happens to one file of a machine's run.
enum class FileFate {
    kUnpack,           // the entry is there and the run writes it
    kMissing,          // a required entry is missing: the run stops here
    kMissingOptional,  // an optional OpenSSL library is missing: the run goes on without it
    kNotReached,       // the entry is there, but the run has stopped before it
};

struct MachineFile {
    RunFile file;
    FileFate fate;
};

struct MachineRun {
    Architecture architecture = Architecture::X86;
    bool windows10OrNewer = true;
    std::string label;  // "x86 win10+"
    bool stops = false;
    std::vector<MachineFile> files;  // in the order the run writes them
};

struct CheckResult {
    std::vector<MachineRun> machines;
    std::vector<std::string> unused;  // in the reader's index order
    CheckCounts counts;
};

// Every machine's run looked up in a loaded package with the launcher's own lookup.
CheckResult CheckPackage(const CPackedTools& reader);

// The label of a Windows generation ("win10+", "win-older").
const char* GenerationLabel(bool windows10OrNewer);

// Writes one line per file of every machine's run, then one line per unused entry, to `out`:
//   <arch> <generation> unpack <entry> -> <target>
//   <arch> <generation> error: missing <entry> for <target>: ...
//   <arch> <generation> warning: missing <entry>: ...
//   <arch> <generation> not reached <entry> -> <target>   (after the run has stopped)
//   unused <entry>
void WriteCheckReport(const CheckResult& result, std::ostream& out);

// The report's last line after "FILE: ":
//   "check passed: every machine runs (errors 0, warnings W, unused U)"
//   "check failed: F of M machines would stop (errors E, warnings W, unused U)"
std::string CheckSummary(const CheckCounts& counts);
// The summary without its first words: "every machine runs (errors 0, warnings W, unused U)" or
// "F of M machines would stop (errors E, warnings W, unused U)".
std::string MachinesVerdict(const CheckCounts& counts);

// The exit code of a check of a valid package: kExitMachineFails when any machine would stop.
int CheckExitCode(const CheckCounts& counts);

}  // namespace linkmoor::tools
