// Explaining a launcher log.

#include <algorithm>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/error_messages.h"
#include "diagnostics/raising_places.h"
#include "installer/log_lines.h"
#include "run/architecture.h"
#include "run/run_log_lines.h"
#include "tools/explain/explain.h"
#include "tools/explain/explain_scan.h"

namespace linkmoor::tools {

namespace {

enum class Phase { kSetUp, kBanner, kRunFolder, kUnpack, kLaunch, kCleanup, kEnd };

const char* PhaseText(Phase phase) {
    switch (phase) {
        case Phase::kSetUp: return "set-up (checks of the machine, the package), before the banner";
        case Phase::kBanner: return "banner (product and system lines)";
        case Phase::kRunFolder: return "run folder (creating it in the system's temp folder)";
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

// A byte no text holds: a control character other than the tab.
bool IsNoText(uint8_t byte) { return (byte < 0x20 && byte != '\t') || byte == 0x7f; }

// Text taken from a log as the report shows it: control bytes as \xNN, also 0x80 to 0x9F, which
// a terminal may take as controls too (the launcher's paths are ANSI text, where these are rare
// letters), so that nothing in a log can steer the technician's terminal; and no more than
// kLongestShownText bytes of it.
std::string Shown(std::string_view text) {
    const std::string_view kept = text.substr(0, kLongestShownText);
    std::string shown;
    for (char c : kept) {
        const uint8_t byte = uint8_t(c);
        if (IsNoText(byte) || (byte >= 0x80 && byte <= 0x9f)) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02x", unsigned(byte));
            shown += escaped;
        } else {
            shown += c;
        }
    }
    if (kept.size() < text.size())
        shown += " ... (cut here: " + std::to_string(text.size()) + " bytes in all)";
    return shown;
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

// The banner's words before the version, and this launcher's version ("2.5").
std::string_view BannerLead() {
    const std::string_view banner(kProductBanner);
    return banner.substr(0, banner.rfind(' ') + 1);
}
std::string_view OwnVersion() {
    return std::string_view(kProductBanner).substr(BannerLead().size());
}

// The version a banner line names: this launcher's, or another of the same major version, whose
// lines read the same ("2.4", "2.6.1"); nothing for any other line.
std::optional<std::string_view> BannerVersion(std::string_view line) {
    if (!TakePrefix(line, BannerLead())) return std::nullopt;
    const std::string_view own = OwnVersion();
    std::string_view rest = line;
    if (!TakePrefix(rest, own.substr(0, own.find('.') + 1))) return std::nullopt;
    for (;;) {
        if (TakeDigits(rest, 10).empty()) return std::nullopt;
        if (rest.empty()) return line;
        if (!TakePrefix(rest, ".")) return std::nullopt;
    }
}

// The system line read after the launcher's own format ("Windows %d.%d build %d %s"): each %d a
// decimal number as %d prints it, of any length; the %s a label without blanks. The fields'
// texts, in order; nothing when the line has another shape.
std::optional<std::vector<std::string_view>> ReadSystemLine(std::string_view line) {
    constexpr std::string_view kBlanks = " \t\n\v\f\r";
    std::vector<std::string_view> fields;
    for (std::string_view format(kSystemLineFormat); !format.empty();) {
        const std::string_view start = line;
        if (TakePrefix(format, "%d")) {
            TakePrefix(line, "-");
            if (TakeDigits(line, 10).empty()) return std::nullopt;
        } else if (TakePrefix(format, "%s")) {
            const size_t length = std::min(line.find_first_of(kBlanks), line.size());
            if (length == 0) return std::nullopt;
            line.remove_prefix(length);
        } else {
            if (line.empty() || line.front() != format.front()) return std::nullopt;
            line.remove_prefix(1);
            format.remove_prefix(1);
            continue;
        }
        fields.push_back(start.substr(0, start.size() - line.size()));
    }
    if (!line.empty()) return std::nullopt;
    return fields;
}

// The value of a %d field; nothing when it does not fit the int the launcher prints.
std::optional<int> IntValue(std::string_view text) {
    const bool negative = TakePrefix(text, "-");
    const uint64_t limit = negative ? uint64_t(INT32_MAX) + 1 : uint64_t(INT32_MAX);
    const std::optional<uint64_t> value = DigitsValue(text, 10, limit);
    if (!value) return std::nullopt;
    return negative ? int(-int64_t(*value)) : int(*value);
}

// Lines the launcher writes, by their literal; everything else in a log is the customer module's.
bool IsLauncherLine(const std::string& line) {
    static const char* const kExact[] = {kUnpackBanner, kLaunchBanner,      kCleanupBanner,
                                         kEndBanner,    kLogRunOnceCreated, kLogRebootRequired};
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
    return BannerVersion(line) || ReadSystemLine(line);
}

std::string WindowsName(int major, int minor, int build) {
    if (major == 10 && minor == 0) return build >= 22000 ? "Windows 11" : "Windows 10";
    if (major == 6 && minor == 3) return "Windows 8.1";
    if (major == 6 && minor == 2) return "Windows 8 (or newer, reported without its manifest)";
    if (major == 6 && minor == 1) return "Windows 7";
    if (major == 6 && minor == 0) return "Windows Vista";
    return "";
}

std::string ArchitectureText(std::string_view label) {
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
    return std::string(" (") + why + ": " + Shown(code.substr(1, code.size() - 2)) + ")";
}

// "Windows 10.0 build 18362 (Windows 10), x64 (64-bit Windows on an x64 machine; ...)"
std::string SystemText(const std::vector<std::string_view>& fields) {
    const std::optional<int> major = IntValue(fields[0]), minor = IntValue(fields[1]);
    const std::optional<int> build = IntValue(fields[2]);
    const std::string windows =
        major && minor && build ? WindowsName(*major, *minor, *build)
                                : "numbers too large for the launcher to have written them: no "
                                  "Windows version";
    return "Windows " + Shown(fields[0]) + "." + Shown(fields[1]) + " build " + Shown(fields[2]) +
           (windows.empty() ? "" : " (" + windows + ")") + ", " + Shown(fields[3]) + " (" +
           ArchitectureText(fields[3]) + ")";
}

// The argument of the retried launch's line, "(0x20) 20 attempts", in words.
std::string RetriedLaunch(const std::string& argument) {
    std::string_view rest(argument);
    std::string_view code, attempts;
    const bool read = TakePrefix(rest, "(0x") && !(code = TakeDigits(rest, 16)).empty() &&
                      TakePrefix(rest, ") ") && !(attempts = TakeDigits(rest, 10)).empty() &&
                      TakePrefix(rest, " attempts") && rest.empty();
    if (!read) return "the start was retried: " + Shown(argument);
    return "the start was tried " + Shown(attempts) + " times while another program held "
           "the customer module's file (as a rule security software scanning the new file); the "
           "last refusal was error 0x" + Shown(code);
}

struct LogLines {
    std::vector<std::string> lines;
    bool cutShort = false;       // the last line has no line end
    bool byteOrderMark = false;  // an editor's UTF-8 mark stood before the first line
    size_t zeroTail = 0;         // zero bytes at the end, where the file holds no text
    size_t noText = 0;           // bytes in the lines that are no text
};

// Lines end in CR LF as the launcher writes them, or in LF or CR alone as a copy may have made
// them; a run of CRs before an LF ends one line (a copy that made each CR LF into CR CR LF).
LogLines SplitLog(const std::vector<uint8_t>& bytes) {
    LogLines log;
    size_t begin = 0, end = bytes.size();
    while (end > begin && bytes[end - 1] == 0) --end;
    log.zeroTail = bytes.size() - end;
    static constexpr uint8_t kByteOrderMark[] = {0xEF, 0xBB, 0xBF};
    if (end >= sizeof(kByteOrderMark) &&
        std::equal(std::begin(kByteOrderMark), std::end(kByteOrderMark), bytes.begin())) {
        begin = sizeof(kByteOrderMark);
        log.byteOrderMark = true;
    }
    std::string current;
    for (size_t at = begin; at < end; ++at) {
        const uint8_t byte = bytes[at];
        if (byte == '\r' || byte == '\n') {
            while (byte == '\r' && at + 1 < end && bytes[at + 1] == '\r') ++at;
            if (byte == '\r' && at + 1 < end && bytes[at + 1] == '\n') ++at;
            log.lines.push_back(std::move(current));
            current.clear();
            continue;
        }
        if (IsNoText(byte)) ++log.noText;
        current += char(byte);
    }
    if (!current.empty()) {
        log.lines.push_back(std::move(current));
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
    std::string version(OwnVersion());
    std::string launchRetried, missingDrive;
    const char* engineError = nullptr;
    std::vector<std::string> reboots, moduleLines;

    for (const std::string& line : log.lines) {
        std::string rest;
        if (!IsLauncherLine(line)) {
            moduleLines.push_back(line);
            continue;
        }
        if (const std::optional<std::string_view> named = BannerVersion(line)) {
            phase = Phase::kBanner;
            version = *named;
        } else if (const auto fields =
                       phase == Phase::kBanner ? ReadSystemLine(line) : std::nullopt) {
            system = SystemText(*fields);
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
                reboots.push_back(Shown(path) +
                                  ": in use; replaced by the file written beside it at the next "
                                  "restart");
            else if (StartsWith(previous, kLogDeleteFile, &path) ||
                     StartsWith(previous, kLogRemoveInstallFiles, &path))
                reboots.push_back(Shown(path) + ": in use; deleted at the next restart");
            else if (StartsWith(previous, kLogDeleteDirectory, &path))
                reboots.push_back(Shown(path) + ": folder removed at the next restart" +
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
    if (version != OwnVersion())
        out << lead << "note: written by launcher version " << Shown(version)
            << ", read as version " << OwnVersion() << " writes its lines\n";
    out << lead << "completed: " << (phase == Phase::kEnd ? "yes" : "no") << "\n";
    if (!system.empty()) out << lead << "system: " << system << "\n";
    if (!runFolder.empty()) out << lead << "run folder: " << Shown(runFolder) << "\n";
    if (phase >= Phase::kLaunch)
        out << lead << "technician id: " << (identifier.empty() ? "none" : Shown(identifier))
            << "\n";
    out << lead << "phase reached: " << PhaseText(phase) << "\n";

    if (!missingDrive.empty()) {
        out << lead << "stopped: the launcher's own file lies on drive " << Shown(missingDrive)
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
        out << lead << "stopped: creating the run folder " << Shown(runFolder)
            << " failed; the box was \"Module: 19 Line 1045 Err 0x...\"\n";
    } else if (phase == Phase::kUnpack) {
        if (lastSource.empty()) {
            out << lead << "stopped: creating the architecture folder " << Shown(lastCreate)
                << " failed; the box was \"Module: 19 Line 1045 Err 0x...\"\n";
        } else if (lastInstall.empty()) {
            out << lead << "stopped: the package holds no entry " << Shown(lastSource)
                << ", which this machine needs; the box was \"Module: 0 Line 394 Err 0x...\" "
                   "(technician: run linkmoor-pack check on the launcher)\n";
        } else {
            out << lead << "stopped: writing the entry " << Shown(lastSource) << " as "
                << Shown(lastInstall)
                << " failed; the box was one of InstallFile's (\"Module: 19 Line 940\", 998, ...)\n";
            out << lead << "unpacking: " << Shown(lastSource) << " -> " << Shown(lastInstall)
                << "\n";
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
    for (const std::string& line : moduleLines)
        out << lead << "customer module: " << Shown(line) << "\n";
    if (log.cutShort) out << lead << "note: the log ends inside a line: it was cut short\n";
    if (log.zeroTail != 0)
        out << lead << "note: the log ends in " << log.zeroTail
            << " zero bytes: Windows had not written the rest of it to the disk (the machine "
               "stopped, or the log was copied while it was being written)\n";
    if (log.noText != 0)
        out << lead << "note: " << log.noText
            << " bytes of the log are no text (shown as \\xNN): the file is damaged, or something "
               "other than the launcher and the customer module wrote to it\n";
    if (log.byteOrderMark)
        out << lead << "note: the log starts with a UTF-8 byte-order mark, which the launcher "
                       "never writes: an editor saved it again\n";
    return true;
}

}  // namespace linkmoor::tools
