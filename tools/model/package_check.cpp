// The check report: the run's file list for every machine, looked up in a loaded package.

#include "tools/model/package_check.h"

#include <ostream>
#include <set>
#include <string>

#include "diagnostics/raising_places.h"
#include "package/packed_tools.h"
#include "run/module_table.h"
#include "tools/files/utf8.h"

namespace linkmoor::tools {

namespace {

constexpr bool kGenerations[] = {true, false};  // Windows 10 and later first

}  // namespace

const char* GenerationLabel(bool windows10OrNewer) {
    return windows10OrNewer ? kWindows10Label : kOlderWindowsLabel;
}

std::string MachinesVerdict(const CheckCounts& counts) {
    const std::string machines = counts.failingMachines == 0
                                     ? std::string("every machine runs")
                                     : std::to_string(counts.failingMachines) + " of " +
                                           std::to_string(counts.machines) + " machines would stop";
    return machines + " (errors " + std::to_string(counts.errors) + ", warnings " + std::to_string(counts.warnings) +
           ", unused " + std::to_string(counts.unused) + ")";
}

std::string CheckSummary(const CheckCounts& counts) {
    return std::string(counts.failingMachines == 0 ? "check passed: " : "check failed: ") + MachinesVerdict(counts);
}

int CheckExitCode(const CheckCounts& counts) {
    return counts.failingMachines == 0 ? 0 : kExitMachineFails;
}

CheckResult CheckPackage(const CPackedTools& reader) {
    CheckResult result;
    CheckCounts& counts = result.counts;
    std::set<std::string, CPackedTools::ByteLess> asked;
    for (Architecture architecture : kArchitectures) {
        for (bool windows10OrNewer : kGenerations) {
            MachineRun machine;
            machine.architecture = architecture;
            machine.windows10OrNewer = windows10OrNewer;
            machine.label = std::string(NamesOf(architecture).folder) + " " + GenerationLabel(windows10OrNewer);
            ++counts.machines;
            for (const RunFile& file : RunFiles(architecture, windows10OrNewer)) {
                asked.insert(file.entry);
                const uint8_t* data = nullptr;
                uint32_t size = 0;
                // The launcher's own lookup: exact, case-sensitive names.
                const bool present = reader.GetFile(file.entry.c_str(), &data, &size) != 0;
                FileFate fate = FileFate::kUnpack;
                // After the entry that stops the run, nothing is looked at: every later file, there
                // or not, is not reached, and the machine has one error, the one that stops it.
                if (machine.stops) {
                    fate = FileFate::kNotReached;
                } else if (present) {
                    fate = FileFate::kUnpack;
                } else if (file.optional) {
                    ++counts.warnings;
                    fate = FileFate::kMissingOptional;
                } else {
                    ++counts.errors;
                    fate = FileFate::kMissing;
                    machine.stops = true;
                }
                machine.files.push_back({file, fate});
            }
            if (machine.stops) ++counts.failingMachines;
            result.machines.push_back(std::move(machine));
        }
    }
    for (const auto& [name, entry] : reader.m_files) {
        if (asked.count(name)) continue;
        ++counts.unused;
        result.unused.push_back(name);
    }
    return result;
}

void WriteCheckReport(const CheckResult& result, std::ostream& out) {
    for (const MachineRun& machine : result.machines) {
        for (const MachineFile& item : machine.files) {
            const RunFile& file = item.file;
            out << machine.label << " ";
            switch (item.fate) {
                case FileFate::kUnpack: out << "unpack " << file.entry << " -> " << file.target << "\n"; break;
                case FileFate::kNotReached: out << "not reached " << file.entry << " -> " << file.target << "\n"; break;
                case FileFate::kMissingOptional:
                    out << "warning: missing " << file.entry << ": the optional OpenSSL library " << file.target
                        << " is not written\n";
                    break;
                case FileFate::kMissing:
                    out << "error: missing " << file.entry << " for " << file.target
                        << ": the launcher would stop with the installation error Module: " << raising::kModuleRun
                        << " Line " << raising::kLineMissingEntry << " on this machine\n";
                    break;
            }
        }
    }
    for (const std::string& name : result.unused) out << "unused " << ShownName(name) << "\n";
}

}  // namespace linkmoor::tools
