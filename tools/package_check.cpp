// The check report: the run's file list for every machine, looked up in a loaded package.

#include "tools/package_check.h"

#include <ostream>
#include <set>
#include <string>

#include "diagnostics/raising_places.h"
#include "package/packed_tools.h"
#include "run/module_table.h"

namespace linkmoor::tools {

namespace {

constexpr bool kGenerations[] = {true, false};  // Windows 10 and later first

const char* GenerationLabel(bool windows10OrNewer) {
    return windows10OrNewer ? kWindows10Label : kOlderWindowsLabel;
}

}  // namespace

std::string CheckSummary(const CheckCounts& counts) {
    std::string summary = counts.failingMachines == 0
                              ? std::string("check passed: every machine runs")
                              : "check failed: " + std::to_string(counts.failingMachines) + " of " +
                                    std::to_string(counts.machines) + " machines would stop";
    return summary + " (errors " + std::to_string(counts.errors) + ", warnings " + std::to_string(counts.warnings) +
           ", unused " + std::to_string(counts.unused) + ")";
}

int CheckExitCode(const CheckCounts& counts) {
    return counts.failingMachines == 0 ? 0 : kExitMachineFails;
}

CheckCounts WriteCheckReport(const CPackedTools& reader, std::ostream& out) {
    CheckCounts counts;
    std::set<std::string, CPackedTools::ByteLess> asked;
    for (Architecture architecture : kArchitectures) {
        for (bool windows10OrNewer : kGenerations) {
            const std::string machine =
                std::string(NamesOf(architecture).folder) + " " + GenerationLabel(windows10OrNewer) + " ";
            ++counts.machines;
            bool stopped = false;
            for (const RunFile& file : RunFiles(architecture, windows10OrNewer)) {
                asked.insert(file.entry);
                const uint8_t* data = nullptr;
                uint32_t size = 0;
                // The launcher's own lookup: exact, case-sensitive names.
                const bool present = reader.GetFile(file.entry.c_str(), &data, &size) != 0;
                if (present) {
                    out << machine << (stopped ? "not reached " : "unpack ") << file.entry << " -> " << file.target
                        << "\n";
                } else if (file.optional) {
                    ++counts.warnings;
                    out << machine << "warning: missing " << file.entry << ": the optional OpenSSL library "
                        << file.target << " is not written\n";
                } else {
                    ++counts.errors;
                    out << machine << "error: missing " << file.entry << " for " << file.target
                        << ": the launcher would stop with the installation error Module: " << raising::kModuleRun
                        << " Line " << raising::kLineMissingEntry << " on this machine\n";
                    stopped = true;
                }
            }
            if (stopped) ++counts.failingMachines;
        }
    }
    for (const auto& [name, entry] : reader.m_files) {
        if (asked.count(name)) continue;
        ++counts.unused;
        out << "unused " << name << "\n";
    }
    return counts;
}

}  // namespace linkmoor::tools
