// linkmoor-pack's command dispatch, the explain command and what the commands share.

#include "tools/cli/pack_commands.h"

#include "package/md5.h"
#include "package/package_format.h"
#include "package/package_writer.h"
#include "tools/cli/commands.h"
#include "tools/explain/explain.h"
#include "tools/files/file_io.h"
#include "tools/files/report_stream.h"
#include "tools/files/utf8.h"
#include "tools/model/verdicts.h"

#include <new>
#include <ostream>

namespace linkmoor::tools {

namespace {

// One operand that names an existing file is a log; anything else is the text of a box, its
// words given as one operand or as several.
int Explain(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.operands.empty()) return Usage(err, line, "explain needs a box's text or a log file");
    if (line.operands.size() == 1 && GetPathKind(line.operands[0]) == PathKind::kFile) {
        const std::string& path = line.operands[0];
        std::vector<uint8_t> bytes;
        std::string error = ReadWholeFile(path, bytes);
        if (!error.empty()) {
            err << kProgram << error << "\n";
            return kExitNotRead;
        }
        // A log saved again as UTF-16 (an editor's "Unicode") is read as the UTF-8 it was.
        const TextEncoding encoding = DetectTextEncoding(bytes);
        std::string text;
        if (encoding != TextEncoding::kUtf8 && Utf8FromUtf16(bytes, encoding, text)) bytes.assign(text.begin(), text.end());
        if (ExplainLog(path, bytes, out)) return kExitOk;
        err << path << ": not a launcher log (its first line is none the launcher writes)\n";
        return kExitNotExplained;
    }
    std::string text;
    for (const std::string& operand : line.operands) text += (text.empty() ? "" : " ") + operand;
    if (ExplainBoxText(text, out)) return kExitOk;
    err << kProgram << "'" << text << "' is no box of the launcher and no log file\n";
    return kExitNotExplained;
}

}  // namespace

int Fail(std::ostream& err, const std::string& message) {
    err << kProgram << message << "\n";
    return kExitFailed;
}

int Usage(std::ostream& err, const CommandLine& line, const std::string& message) {
    err << UsageError(line.command, message) << "\n";
    return kExitUsage;
}

// After a warning that --strict made an error.
constexpr char kStrictNote[] = " (an error with --strict)";

bool Warn(std::ostream& err, const CommandLine& line, const std::string& warning) {
    if (warning.empty()) return false;
    if (line.strict) err << kProgram << warning << kStrictNote << "\n";
    else if (!line.quiet) err << kProgram << warning << "\n";
    return line.strict;
}

int WrongOperands(std::ostream& err, const CommandLine& line, size_t count, const std::string& synopsis) {
    if (line.operands.size() < count) return Usage(err, line, line.command + " needs " + synopsis);
    return Usage(err, line, "'" + line.operands[count] + "' is one operand too many: " + line.command + " takes " +
                                synopsis);
}

std::string CheckOutputPath(const std::string& path, bool force, bool& exists) {
    exists = false;
    switch (GetPathKind(path)) {
        case PathKind::kMissing: return {};
        case PathKind::kFile: break;
        default: return "'" + path + "' exists and is not a file";
    }
    exists = true;
    if (!force) return "'" + path + "' exists already (use --force to replace it)";
    return {};
}

uint8_t DefaultKeyByte(const std::vector<package::PackageInput>& entries) {
    CMd5 md5;
    for (const package::PackageInput& entry : entries) {
        uint8_t sizes[8];
        package::WriteLe32(sizes, static_cast<uint32_t>(entry.name.size()));
        package::WriteLe32(sizes + 4, static_cast<uint32_t>(entry.contents.size()));
        md5.Add(sizes, sizeof(sizes));
        md5.Add(entry.name.data(), entry.name.size());
        md5.Add(entry.contents.data(), entry.contents.size());
    }
    return md5.Finish()[0];
}

namespace {

// A usage error before any command is known ("linkmoor-pack: MESSAGE (see ...)"), exit code 64.
int UsageWithoutCommand(std::ostream& err, const std::string& message) {
    err << UsageError({}, message) << "\n";
    return kExitUsage;
}

// "linkmoor-pack: 'X' is one operand too many: WHAT (see ...)", exit code 64.
int ExtraOperand(std::ostream& err, const std::string& extra, const std::string& what) {
    return UsageWithoutCommand(err, "'" + extra + "' is one operand too many: " + what);
}

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) return UsageWithoutCommand(err, "no command given");
    if (args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        if (args.size() > 2) return ExtraOperand(err, args[2], args[0] + " takes at most one COMMAND");
        if (args.size() == 2 && !IsCommand(args[1]))
            return UsageWithoutCommand(err, "no help on '" + args[1] + "': it is no command of linkmoor-pack");
        out << HelpText(args.size() > 1 ? args[1] : std::string());
        return kExitOk;
    }
    if (args[0] == "--version") {
        if (args.size() > 1) return ExtraOperand(err, args[1], "--version takes nothing after it");
        out << VersionText();
        return kExitOk;
    }
    if (!IsCommand(args[0])) return UsageWithoutCommand(err, "unknown command '" + args[0] + "'");
    const CommandLine line = ParseCommandLine(args);
    if (!line.error.empty()) return Usage(err, line, line.error);
    if (line.help) {
        out << HelpText(line.command);
        return kExitOk;
    }
    using Command = int (*)(const CommandLine&, std::ostream&, std::ostream&);
    static const struct {
        const char* name;
        Command run;
    } kCommands[] = {{"create", RunCreate}, {"append", RunAppend}, {"verify", RunVerify}, {"list", RunList},
                     {"extract", RunExtract}, {"check", RunCheck}, {"diff", RunDiff}, {"explain", Explain}};
    try {
        for (const auto& command : kCommands)
            if (line.command == command.name) return command.run(line, out, err);
    } catch (const std::bad_alloc&) {
        return Fail(err, "not enough memory");
    }
    return kExitUsage;  // IsCommand knows no other
}

}  // namespace

// Whatever the command's verdict, a report that did not reach its output fails the run: a
// script must never take a cut-short report for a whole one.
int RunPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const int code = RunCommand(args, out, err);
    const std::string outProblem = WriteProblem(out, kStandardOutputName);
    if (!outProblem.empty()) err << kProgram << outProblem << "\n";
    const std::string errProblem = WriteProblem(err, kStandardErrorName);
    return outProblem.empty() && errProblem.empty() ? code : kExitNotWritten;
}

}  // namespace linkmoor::tools
