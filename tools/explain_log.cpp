// Explaining a launcher log.

#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "diagnostics/error_messages.h"
#include "diagnostics/raising_places.h"
#include "installer/log_lines.h"
#include "run/architecture.h"
#include "run/run_log_lines.h"
#include "tools/explain.h"

namespace linkmoor::tools {

namespace {

enum class Phase { kSetUp, kBanner, kRunFolder, kUnpack, kLaunch, kCleanup, kEnd };

const char* PhaseText(Phase phase) {
    switch (phase) {
        case Phase::kSetUp: return "set-up (checks of the machine, the package), before the banner";
        case Phase::kBanner: return "banner (product and system lines)";
        case Phase::kRunFolder: return "run folder (creating it in the work folder)";
        case Phase::kUnpack: return "unpacking (\"******* unpack files **********\")";
        case Phase::kLaunch: return "launch (\"******* launch CM **********\")";
        case Phase::kCleanup: return "clean-up (\"******* cleanup files *******\")";
        case Phase::kEnd: return "end (\"******* end **********\")";
    }
    return "";
}

bool StartsWith(const std::string& line, const char* prefix, std::string* rest = nullptr) {
    const std::string p(prefix);
    if (line.compare(0, p.size(), p) != 0) return false;
    if (rest) *rest = line.substr(p.size());
    return true;
}

std::string Quoted(const char* text) { return std::string("\"") + text + "\""; }

// The engine's error lines, and the box of the installer error that follows each one.
constexpr const char* kEngineErrorLines[] = {kLogNoAdmin, kLogServiceManager, kLogOsVersion,
                                             kLog64BitSystem, kLogInitInstaller};

std::string BoxAfter(const std::string& engineLine) {
    if (engineLine == kLogNoAdmin)
        return Quoted(kAdministratorText) + " (not run as an administrator)";
    if (engineLine == kLogServiceManager)
        return "\"Module: 19 Line 83 Err 0x...\" (the service control manager refused)";
    if (engineLine == kLogOsVersion) return Quoted(kOldWindowsText);
    if (engineLine == kLog64BitSystem) return "\"Module: 19 Line 101 Err 0xe0000233\"";
    return "one of the package boxes: " + Quoted(kDamagedPackageText) +
           " (package missing, damaged or not covered by its signature), " +
           Quoted(kUnpackFailedText) + " (own file not read), " + Quoted(kOutOfMemoryText) +
           "; or \"Module: 19 Line 117 Err 0x...\" (no memory for the package reader)";
}

// The system line; groups: major, minor, build, architecture label.
const std::regex& SystemLine() {
    static const std::regex line(R"(Windows (\d+)\.(\d+) build (\d+) (\S+))");
    return line;
}

// Lines the launcher writes, by their literal; everything else in a log is the customer module's.
bool IsLauncherLine(const std::string& line) {
    static const char* const kExact[] = {kProductBanner, kUnpackBanner, kLaunchBanner,
                                         kCleanupBanner, kEndBanner,    kLogRunOnceCreated,
                                         kLogRebootRequired};
    for (const char* text : kExact)
        if (line == text) return true;
    for (const char* error : kEngineErrorLines)
        if (line == error) return true;
    static const char* const kPrefixes[] = {
        kLogCreateDirectory, kLogInstallFile, kLogDeleteFile, kLogDeleteDirectory,
        kLogRemoveInstallFiles, kLogSourceFile, kLogLaunchPath, kLogTechnicianId,
        kLogRebootRequiredWithError, kLogLaunchRetried, kLogOwnDriveMissing};
    for (const char* prefix : kPrefixes)
        if (StartsWith(line, prefix)) return true;
    return std::regex_match(line, SystemLine());
}

std::string WindowsName(int major, int minor, int build) {
    if (major == 10 && minor == 0) return build >= 22000 ? "Windows 11" : "Windows 10";
    if (major == 6 && minor == 3) return "Windows 8.1";
    if (major == 6 && minor == 2) return "Windows 8 (or newer, reported without its manifest)";
    if (major == 6 && minor == 1) return "Windows 7";
    if (major == 6 && minor == 0) return "Windows Vista";
    return "";
}

std::string ArchitectureText(const std::string& label) {
    for (Architecture architecture : kArchitectures) {
        const ArchitectureNames& names = NamesOf(architecture);
        if (label != names.logLabel) continue;
        const std::string files = std::string("the package's ") + names.folder + " files";
        switch (architecture) {
            case Architecture::X86: return "32-bit Windows; " + files;
            case Architecture::Amd64: return "64-bit Windows on an x64 machine; " + files;
            case Architecture::Arm64: return "64-bit Windows on an ARM64 machine; " + files;
        }
    }
    return "an architecture the launcher does not name";
}

// The error a folder's deferred removal reports, "(0x91)" for one that is not empty.
std::string FolderError(const std::string& warning) {
    std::string code;
    if (!StartsWith(warning, kLogRebootRequiredWithError, &code) || code.empty()) return "";
    const char* why = code == "(0x91)" ? "it was not empty" : "Windows refused to remove it";
    return std::string(" (") + why + ": " + code.substr(1, code.size() - 2) + ")";
}

// The argument of the retried launch's line, "(0x20) 20 attempts", in words.
std::string RetriedLaunch(const std::string& argument) {
    static const std::regex retried(R"(\(0x([0-9a-f]+)\) (\d+) attempts)");
    std::smatch parts;
    if (!std::regex_match(argument, parts, retried)) return "the start was retried: " + argument;
    return "the start was tried " + parts[2].str() + " times while another program held the "
           "customer module's file (as a rule security software scanning the new file); the "
           "last refusal was error 0x" + parts[1].str();
}

struct LogLines {
    std::vector<std::string> lines;
    bool cutShort = false;  // the last line has no line end
};

LogLines SplitLog(const std::vector<uint8_t>& bytes) {
    LogLines log;
    std::string current;
    for (uint8_t byte : bytes) {
        if (byte == '\n') {
            if (!current.empty() && current.back() == '\r') current.pop_back();
            log.lines.push_back(current);
            current.clear();
        } else {
            current += char(byte);
        }
    }
    if (!current.empty()) {
        log.lines.push_back(current);
        log.cutShort = true;
    }
    return log;
}

}  // namespace

bool ExplainLog(const std::string& name, const std::vector<uint8_t>& bytes, std::ostream& out) {
    const LogLines log = SplitLog(bytes);
    if (log.lines.empty() || !IsLauncherLine(log.lines.front())) return false;

    Phase phase = Phase::kSetUp;
    std::string system, runFolder, identifier, lastSource, lastInstall, lastCreate, previous;
    std::string launchRetried, missingDrive;
    const char* engineError = nullptr;
    std::vector<std::string> reboots, moduleLines;

    for (const std::string& line : log.lines) {
        std::string rest;
        if (!IsLauncherLine(line)) {
            moduleLines.push_back(line);
            continue;
        }
        std::smatch parts;
        if (line == kProductBanner) {
            phase = Phase::kBanner;
        } else if (phase == Phase::kBanner && std::regex_match(line, parts, SystemLine())) {
            const int major = std::stoi(parts[1]), minor = std::stoi(parts[2]);
            const int build = std::stoi(parts[3]);
            const std::string windows = WindowsName(major, minor, build);
            system = "Windows " + parts[1].str() + "." + parts[2].str() + " build " +
                     parts[3].str() + (windows.empty() ? "" : " (" + windows + ")") + ", " +
                     parts[4].str() + " (" + ArchitectureText(parts[4].str()) + ")";
        } else if (line == kUnpackBanner) {
            phase = Phase::kUnpack;
        } else if (line == kLaunchBanner) {
            phase = Phase::kLaunch;
        } else if (line == kCleanupBanner) {
            phase = Phase::kCleanup;
        } else if (line == kEndBanner) {
            phase = Phase::kEnd;
        } else if (StartsWith(line, kLogCreateDirectory, &rest)) {
            if (phase == Phase::kBanner || phase == Phase::kRunFolder) {
                phase = Phase::kRunFolder;
                runFolder = rest;
            }
            lastCreate = rest;
        } else if (StartsWith(line, kLogSourceFile, &rest)) {
            lastSource = rest;
            lastInstall.clear();
        } else if (StartsWith(line, kLogInstallFile, &rest)) {
            lastInstall = rest;
        } else if (StartsWith(line, kLogTechnicianId, &rest)) {
            identifier = rest;
        } else if (StartsWith(line, kLogLaunchRetried, &rest)) {
            launchRetried = rest;
        } else if (StartsWith(line, kLogOwnDriveMissing, &rest)) {
            missingDrive = rest;
        } else if (line == kLogRebootRequired || StartsWith(line, kLogRebootRequiredWithError)) {
            std::string path;
            if (StartsWith(previous, kLogInstallFile, &path))
                reboots.push_back(path + ": in use; replaced by the file written beside it at the "
                                         "next restart");
            else if (StartsWith(previous, kLogDeleteFile, &path) ||
                     StartsWith(previous, kLogRemoveInstallFiles, &path))
                reboots.push_back(path + ": in use; deleted at the next restart");
            else if (StartsWith(previous, kLogDeleteDirectory, &path))
                reboots.push_back(path + ": folder removed at the next restart" +
                                  FolderError(line));
            else
                reboots.push_back("an operation left for the next restart");
        } else {
            for (const char* error : kEngineErrorLines)
                if (line == error) engineError = error;
        }
        previous = line;
    }

    const std::string lead = name + ": ";
    out << lead << "a launcher log\n";
    out << lead << "completed: " << (phase == Phase::kEnd ? "yes" : "no") << "\n";
    if (!system.empty()) out << lead << "system: " << system << "\n";
    if (!runFolder.empty()) out << lead << "run folder: " << runFolder << "\n";
    if (phase >= Phase::kLaunch)
        out << lead << "technician id: " << (identifier.empty() ? "none" : identifier) << "\n";
    out << lead << "phase reached: " << PhaseText(phase) << "\n";

    if (!missingDrive.empty()) {
        out << lead << "stopped: the launcher's own file lies on drive " << missingDrive
            << ", which the elevated launcher does not have (a network drive mapped without "
               "elevation); the box was \"" << kUnpackFailedText << "\"\n";
        out << lead << "next: copy the launcher to a local disk, such as the desktop, and run it "
                       "from there\n";
    } else if (engineError != nullptr) {
        out << lead << "stopped: the engine wrote \"" << engineError << "\"; the box was "
            << BoxAfter(engineError) << "\n";
    } else if (phase == Phase::kSetUp || phase == Phase::kBanner) {
        out << lead << "stopped: before the run folder was created, without an error line\n";
    } else if (phase == Phase::kRunFolder) {
        out << lead << "stopped: creating the run folder " << runFolder
            << " failed; the box was \"Module: 19 Line 1045 Err 0x...\"\n";
    } else if (phase == Phase::kUnpack) {
        if (lastSource.empty()) {
            out << lead << "stopped: creating the architecture folder " << lastCreate
                << " failed; the box was \"Module: 19 Line 1045 Err 0x...\"\n";
        } else if (lastInstall.empty()) {
            out << lead << "stopped: the package holds no entry " << lastSource
                << ", which this machine needs; the box was \"Module: 0 Line 394 Err 0x...\" "
                   "(technician: run linkmoor-pack check on the launcher)\n";
        } else {
            out << lead << "stopped: writing the entry " << lastSource << " as " << lastInstall
                << " failed; the box was one of InstallFile's (\"Module: 19 Line 940\", 998, ...)\n";
            out << lead << "unpacking: " << lastSource << " -> " << lastInstall << "\n";
        }
    } else if (phase == Phase::kLaunch && moduleLines.empty()) {
        const bool withId = !identifier.empty();
        out << lead << "stopped: starting the customer module failed; the box was \"Module: 0 Line "
            << (withId ? raising::kLineLaunchWithIdentifier : raising::kLineLaunchWithoutIdentifier)
            << " Err 0x...\" (or the log was copied before the customer module wrote anything)\n";
    } else if (phase == Phase::kLaunch) {
        out << lead << "stopped: while the customer module ran (its lines are below): the log was "
                       "copied before it ended, or the launcher was ended\n";
    } else if (phase == Phase::kCleanup) {
        out << lead << "stopped: during the clean-up, which raises no error: the launcher was "
                       "ended, or the log was copied before the run was over\n";
    }
    if (!launchRetried.empty())
        out << lead << "launch: " << RetriedLaunch(launchRetried) << "\n";
    for (const std::string& reboot : reboots) out << lead << "reboot: " << reboot << "\n";
    if (reboots.empty()) out << lead << "reboot: nothing left for the next restart\n";
    for (const std::string& line : moduleLines) out << lead << "customer module: " << line << "\n";
    if (log.cutShort) out << lead << "note: the log ends inside a line: it was cut short\n";
    return true;
}

}  // namespace linkmoor::tools
