// The commands of linkmoor-pack: create, append, verify, list, extract, check and diff.

#include "tools/pack_commands.h"

#include "package/certificate_table.h"
#include "package/md5.h"
#include "package/package_format.h"
#include "package/package_writer.h"
#include "package/packed_tools.h"
#include "tools/entry_names.h"
#include "tools/explain.h"
#include "tools/file_io.h"
#include "tools/package_check.h"
#include "tools/package_diff.h"
#include "tools/signature_report.h"
#include "tools/verdicts.h"

#include <new>
#include <ostream>
#include <set>

namespace linkmoor::tools {

const char kUsage[] =
    "usage:\n"
    "  linkmoor-pack create [--force] [--key N] [--list LISTFILE]... OUT [FILE[=NAME]]...\n"
    "      Packs the files, in the order given (list files first), into the new package OUT.\n"
    "      An entry is named after its file unless =NAME is given (split at the last '=').\n"
    "      A list file holds one FILE[=NAME] per line; blank lines and '#' lines are skipped.\n"
    "      --key N sets the header's key byte (0-255 or 0x00-0xff); by default it is derived\n"
    "      from the names and contents, so the same inputs give the same bytes.\n"
    "  linkmoor-pack append [--force] EXE PACKAGE OUT\n"
    "      Writes the new file OUT: the executable EXE (which must carry no package yet and\n"
    "      must not be signed) followed by the package file PACKAGE. Sign OUT afterwards.\n"
    "  linkmoor-pack verify FILE\n"
    "      Loads the package inside FILE and checks every digest; for a signed FILE it also says\n"
    "      whether the signature covers the package (a package after the signature is refused\n"
    "      like a damaged one). Exit code 0 when it is valid, 1 when there is no package or it\n"
    "      is damaged or not covered, 2 when FILE cannot be read, 3 when memory runs out.\n"
    "  linkmoor-pack list FILE\n"
    "      Prints one line per entry of a valid package, in the reader's index order: the size\n"
    "      in bytes, one blank, the name. Exit codes as for verify.\n"
    "  linkmoor-pack extract [--force] FILE DIR\n"
    "      Writes every entry of a valid package into DIR (created when missing) under its name.\n"
    "      Exit codes as for verify; 1 also when a file cannot be written.\n"
    "  linkmoor-pack check FILE\n"
    "      For x86, amd64 and arm64 on Windows 10 and later and on older Windows, lists the\n"
    "      entries a launcher run would unpack and the files they become, then the entries no\n"
    "      run asks for. A missing required entry is an error, a missing OpenSSL library a\n"
    "      warning. Exit codes as for verify; 5 when a machine's run would stop.\n"
    "  linkmoor-pack diff OLD NEW\n"
    "      Compares the packages inside two files entry by entry (changed, added, removed)\n"
    "      and says whether the package bytes and the bytes before the package are the same.\n"
    "      Exit codes as for verify; 6 when the entries differ.\n"
    "  linkmoor-pack explain TEXT... | explain LOGFILE\n"
    "      Tells what a box of the launcher means (its text as the customer reads it, such as\n"
    "      \"Module: 19 Line 998 Err 0x70\") or what a launcher log shows: where the run stopped,\n"
    "      the likely cause and what to do next. Exit code 7 when it is neither.\n"
    "An output that exists already is refused unless --force is given; outputs are written to a\n"
    "temporary file beside them and renamed at the end, so a failure leaves none behind.\n"
    "Exit code 64: the command line is not understood.\n";

namespace {

constexpr char kProgram[] = "linkmoor-pack: ";

int Fail(std::ostream& err, const std::string& message) {
    err << kProgram << message << "\n";
    return kExitFailed;
}

int Usage(std::ostream& err, const std::string& message) {
    err << kProgram << message << kUsage;
    return kExitUsage;
}

// Refuses an output that exists, unless replacing is allowed and it is a plain file.
std::string CheckOutput(const std::string& path, bool force) {
    switch (GetPathKind(path)) {
        case PathKind::kMissing: return {};
        case PathKind::kFile:
            if (force) return {};
            return "'" + path + "' exists already (use --force to replace it)";
        default: return "'" + path + "' exists and is not a file";
    }
}

// Reads one input of a package: a non-empty file within the format's limits.
std::string ReadInput(const std::string& path, std::vector<uint8_t>& bytes) {
    uint64_t size = 0;
    std::string error = GetFileSize(path, size);
    if (!error.empty()) return error;
    if (size > kFormatSizeLimit) return "'" + path + "' is larger than the 4 GiB the package format can carry";
    error = ReadWholeFile(path, bytes);
    if (!error.empty()) return error;
    if (bytes.empty()) return "'" + path + "' is empty: an empty entry cannot be carried in a package";
    if (bytes.size() > kFormatSizeLimit)
        return "'" + path + "' is larger than the 4 GiB the package format can carry";
    return {};
}

int Create(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.operands.empty()) return Usage(err, "create: no output named\n");
    const std::string& output = line.operands[0];

    std::vector<std::string> operands;
    for (const std::string& listFile : line.listFiles) {
        std::vector<uint8_t> text;
        std::string error = ReadWholeFile(listFile, text);
        if (!error.empty()) return Fail(err, error);
        for (std::string& operand : ParseListText(std::string(text.begin(), text.end()))) operands.push_back(operand);
    }
    operands.insert(operands.end(), line.operands.begin() + 1, line.operands.end());
    if (operands.empty()) return Fail(err, "create: no input files");

    std::vector<InputOperand> inputs;
    std::set<std::string> names;
    for (const std::string& operand : operands) {
        InputOperand input = SplitInputOperand(operand);
        if (input.path.empty()) return Fail(err, "'" + operand + "' names no file");
        std::string why = WhyNotPlainName(input.name);
        if (!why.empty()) return Fail(err, "entry name '" + input.name + "' " + why);
        if (input.name.size() > kFormatSizeLimit) return Fail(err, "an entry name is longer than the format allows");
        if (!names.insert(input.name).second) return Fail(err, "entry name '" + input.name + "' is given twice");
        inputs.push_back(input);
    }

    std::string error = CheckOutput(output, line.force);
    if (!error.empty()) return Fail(err, error);
    for (const InputOperand& input : inputs)
        if (IsSameFile(input.path, output)) return Fail(err, "'" + output + "' is also an input");

    std::vector<package::PackageInput> entries;
    for (const InputOperand& input : inputs) {
        package::PackageInput entry;
        entry.name = input.name;
        error = ReadInput(input.path, entry.contents);
        if (!error.empty()) return Fail(err, error);
        entries.push_back(std::move(entry));
    }

    uint8_t key = line.keyGiven ? line.key : DefaultKeyByte(entries);
    package::WriteResult package = package::BuildPackage(entries, key);
    if (!package.ok) return Fail(err, package.error);

    error = WriteFileWhole(output, {{package.bytes.data(), package.bytes.size()}}, line.force);
    if (!error.empty()) return Fail(err, error);
    out << output << ": " << entries.size() << " entries, " << package.bytes.size() << " bytes\n";
    return kExitOk;
}

int Append(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.operands.size() != 3) return Usage(err, "append needs EXE PACKAGE OUT\n");
    const std::string& exePath = line.operands[0];
    const std::string& packagePath = line.operands[1];
    const std::string& output = line.operands[2];

    std::string error = CheckOutput(output, line.force);
    if (!error.empty()) return Fail(err, error);
    if (IsSameFile(output, exePath) || IsSameFile(output, packagePath))
        return Fail(err, "'" + output + "' is also an input: append writes a new file");

    uint64_t exeSize = 0, packageSize = 0;
    error = GetFileSize(exePath, exeSize);
    if (error.empty()) error = GetFileSize(packagePath, packageSize);
    if (!error.empty()) return Fail(err, error);
    if (exeSize == 0) return Fail(err, "'" + exePath + "' is empty");
    if (exeSize + packageSize > kFormatSizeLimit)
        return Fail(err, "the executable with its package would be larger than the 4 GiB the format allows");

    std::vector<uint8_t> exe, packageBytes;
    error = ReadWholeFile(exePath, exe);
    if (error.empty()) error = ReadWholeFile(packagePath, packageBytes);
    if (!error.empty()) return Fail(err, error);

    if (package::FindHeader(exe.data(), exe.size()) != package::kNotFound)
        return Fail(err, "'" + exePath + "' already carries a package");
    if (package::FindCertificateTable(exe.data(), exe.size()).present)
        return Fail(err, "'" + exePath + "' is signed: a package appended after its signature is "
                         "not covered by it and the launcher refuses it; append to the unsigned "
                         "launcher, then sign");

    size_t header = package::FindHeader(packageBytes.data(), packageBytes.size());
    if (header != 0) return Fail(err, "'" + packagePath + "' does not start with a package");
    CPackedTools reader;
    if (reader.m_status != kPackageOk) return Fail(err, "'" + packagePath + "': " + VerdictOf(reader.m_status));
    if (!reader.LoadBytes(packageBytes.data(), static_cast<uint32_t>(packageBytes.size()), 1))
        return Fail(err, "'" + packagePath + "': " + VerdictOf(reader.m_status));
    if (package::PackageLength(packageBytes.data()) != packageBytes.size())
        return Fail(err, "'" + packagePath + "' holds bytes after its package");

    // The reader takes the first valid header in the file: make sure that is the appended one.
    std::vector<uint8_t> joined;
    joined.reserve(exe.size() + packageBytes.size());
    joined.insert(joined.end(), exe.begin(), exe.end());
    joined.insert(joined.end(), packageBytes.begin(), packageBytes.end());
    if (package::FindHeader(joined.data(), joined.size()) != exe.size())
        return Fail(err, "the end of '" + exePath + "' would hide the package from the reader");

    error = WriteFileWhole(output, {{joined.data(), joined.size()}}, line.force);
    if (!error.empty()) return Fail(err, error);
    out << output << ": package of " << packageBytes.size() << " bytes appended at offset " << exe.size() << "\n";
    return kExitOk;
}

// The file's signature as the package tool reports it; nothing is known of a file it cannot read.
SignatureState SignatureOfFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes).empty()) return SignatureState();
    return SignatureStateOf(bytes);
}

// Loads the package inside `path`; on failure prints the verdict and gives its exit code. A
// package that the file's signature does not cover is named as such.
bool LoadForReading(CPackedTools& reader, const std::string& path, int verifyOnly, std::ostream& err, int& exitCode) {
    if (reader.m_status == kPackageOk) LoadPackageFile(reader, path, verifyOnly);
    exitCode = ExitCodeOf(reader.m_status);
    if (reader.m_status == kPackageOk) return true;
    if (reader.m_status == kPackageDamaged) {
        const SignatureState signature = SignatureOfFile(path);
        if (signature.isSigned && !signature.covered) {
            err << path << ": " << NotCoveredText(signature) << "\n";
            return false;
        }
    }
    err << path << ": " << VerdictOf(reader.m_status) << "\n";
    return false;
}

// For a signed file: the line that says its signature covers the package.
void WriteSignatureLine(const std::string& path, std::ostream& out) {
    const SignatureState signature = SignatureOfFile(path);
    if (signature.isSigned) out << path << ": " << CoveredText(signature) << "\n";
}

int Verify(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.operands.size() != 1) return Usage(err, "verify needs FILE\n");
    CPackedTools reader;
    int exitCode = kExitValid;
    if (LoadForReading(reader, line.operands[0], 1, err, exitCode)) {
        out << line.operands[0] << ": " << kVerdictValid << "\n";
        WriteSignatureLine(line.operands[0], out);
    }
    return exitCode;
}

int List(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.operands.size() != 1) return Usage(err, "list needs FILE\n");
    CPackedTools reader;
    int exitCode = kExitValid;
    if (!LoadForReading(reader, line.operands[0], 0, err, exitCode)) return exitCode;
    for (const auto& [name, entry] : reader.m_files) out << entry.size << " " << name << "\n";
    return exitCode;
}

int Extract(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.operands.size() != 2) return Usage(err, "extract needs FILE DIR\n");
    const std::string& folder = line.operands[1];
    CPackedTools reader;
    int exitCode = kExitValid;
    if (!LoadForReading(reader, line.operands[0], 0, err, exitCode)) return exitCode;

    // Every name and target is checked before the first file is written.
    for (const auto& [name, entry] : reader.m_files) {
        std::string why = WhyNotPlainName(name);
        if (!why.empty()) return Fail(err, "entry name '" + name + "' " + why + ": nothing extracted");
    }
    std::string error = CreateFolder(folder);
    if (!error.empty()) return Fail(err, error);
    for (const auto& [name, entry] : reader.m_files) {
        error = CheckOutput(JoinPath(folder, name), line.force);
        if (!error.empty()) return Fail(err, error + ": nothing extracted");
    }
    for (const auto& [name, entry] : reader.m_files) {
        error = WriteFileWhole(JoinPath(folder, name), {{entry.data.get(), entry.size}}, line.force);
        if (!error.empty()) return Fail(err, error);
    }
    out << line.operands[0] << ": " << reader.m_files.size() << " entries extracted into " << folder << "\n";
    return kExitOk;
}

int Check(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.operands.size() != 1) return Usage(err, "check needs FILE\n");
    CPackedTools reader;
    int exitCode = kExitValid;
    if (!LoadForReading(reader, line.operands[0], 0, err, exitCode)) return exitCode;
    CheckCounts counts = WriteCheckReport(reader, out);
    WriteSignatureLine(line.operands[0], out);
    out << line.operands[0] << ": " << CheckSummary(counts) << "\n";
    return CheckExitCode(counts);
}

int Diff(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.operands.size() != 2) return Usage(err, "diff needs OLD NEW\n");
    const std::string& olderPath = line.operands[0];
    const std::string& newerPath = line.operands[1];
    CPackedTools older, newer;
    int exitCode = kExitValid;
    if (!LoadForReading(older, olderPath, 0, err, exitCode)) return exitCode;
    if (!LoadForReading(newer, newerPath, 0, err, exitCode)) return exitCode;

    std::vector<uint8_t> olderBytes, newerBytes;
    std::string error = ReadWholeFile(olderPath, olderBytes);
    if (error.empty()) error = ReadWholeFile(newerPath, newerBytes);
    if (!error.empty()) return Fail(err, error);

    const DiffCounts counts = WriteEntryDiff(older, newer, out);
    out << olderPath << " -> " << newerPath << ": "
        << DiffSummary(counts, SplitAtPackage(olderBytes), SplitAtPackage(newerBytes)) << "\n";
    return counts.Identical() ? kExitOk : kExitEntriesDiffer;
}

// One operand that names an existing file is a log; anything else is the text of a box, its
// words given as one operand or as several.
int Explain(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.operands.empty()) return Usage(err, "explain needs a box's text or a log file\n");
    if (line.operands.size() == 1 && GetPathKind(line.operands[0]) == PathKind::kFile) {
        const std::string& path = line.operands[0];
        std::vector<uint8_t> bytes;
        std::string error = ReadWholeFile(path, bytes);
        if (!error.empty()) {
            err << kProgram << error << "\n";
            return kExitNotRead;
        }
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

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    if (args.empty()) {
        line.error = "no command given";
        return line;
    }
    line.command = args[0];
    bool options = true;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--force") {
            line.force = true;
        } else if (options && (arg == "--key" || arg == "--list")) {
            if (i + 1 == args.size()) {
                line.error = arg + " needs a value";
                return line;
            }
            const std::string& value = args[++i];
            if (arg == "--list") {
                line.listFiles.push_back(value);
            } else if (!ParseKeyByte(value, line.key)) {
                line.error = "--key takes 0 to 255 or 0x00 to 0xff, not '" + value + "'";
                return line;
            } else {
                line.keyGiven = true;
            }
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            line.error = "unknown option '" + arg + "'";
            return line;
        } else {
            line.operands.push_back(arg);
        }
    }
    bool isCreate = line.command == "create";
    if ((line.keyGiven || !line.listFiles.empty()) && !isCreate)
        line.error = "--key and --list belong to create";
    else if (line.force && !(isCreate || line.command == "append" || line.command == "extract"))
        line.error = "--force belongs to create, append and extract";
    return line;
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

int RunPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && (args[0] == "help" || args[0] == "--help" || args[0] == "-h")) {
        out << kUsage;
        return kExitOk;
    }
    CommandLine line = ParseCommandLine(args);
    if (!line.error.empty()) {
        err << kProgram << line.error << "\n" << kUsage;
        return kExitUsage;
    }
    try {
        if (line.command == "create") return Create(line, out, err);
        if (line.command == "append") return Append(line, out, err);
        if (line.command == "verify") return Verify(line, out, err);
        if (line.command == "list") return List(line, out, err);
        if (line.command == "extract") return Extract(line, out, err);
        if (line.command == "check") return Check(line, out, err);
        if (line.command == "diff") return Diff(line, out, err);
        if (line.command == "explain") return Explain(line, out, err);
    } catch (const std::bad_alloc&) {
        return Fail(err, "not enough memory");
    }
    err << kProgram << "unknown command '" << line.command << "'\n" << kUsage;
    return kExitUsage;
}

}  // namespace linkmoor::tools
