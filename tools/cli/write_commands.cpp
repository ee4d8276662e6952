// create and append: the commands that write a package or a launcher with its package.

#include "tools/cli/commands.h"

#include "package/certificate_table.h"
#include "package/package_format.h"
#include "package/package_writer.h"
#include "package/packed_tools.h"
#include "tools/cli/pack_commands.h"
#include "tools/cli/write_record.h"
#include "tools/files/file_io.h"
#include "tools/files/utf8.h"
#include "tools/model/entry_names.h"
#include "tools/model/launcher_image.h"
#include "tools/model/launcher_memory.h"
#include "tools/model/package_diagnosis.h"
#include "tools/model/package_file.h"
#include "tools/model/verdicts.h"

#include <map>
#include <ostream>

namespace linkmoor::tools {

namespace {

// An output may replace only what an earlier run of the tool wrote: a package or a launcher with
// a package. Anything else (an input named by mistake, an empty shell variable shifting the
// operands) is refused, even with --force.
std::string CheckOutput(const std::string& path, bool force) {
    bool exists = false;
    std::string error = CheckOutputPath(path, force, exists);
    if (!error.empty() || !exists) return error;
    std::vector<uint8_t> bytes;
    error = ReadWholeFile(path, bytes);
    if (!error.empty()) return error + ": --force replaces only a package or a launcher with a package";
    if (package::FindHeader(bytes.data(), bytes.size()) == package::kNotFound)
        return "'" + path + "' exists and is no package and no launcher with a package; --force replaces only those";
    return {};
}

// Where an input was named, for a problem found with another one.
std::string WhereNamed(const InputOperand& input) {
    return input.origin.empty() ? "on the command line" : "at " + input.origin;
}

// Problems of a create, each a whole line: "LIST:LINE: what" or "linkmoor-pack: what".
class CProblems {
public:
    void Add(const std::string& origin, const std::string& text) {
        m_lines.push_back((origin.empty() ? std::string(kProgram) : origin + ": ") + text);
    }
    bool Empty() const { return m_lines.empty(); }
    int Report(std::ostream& err) const {
        for (const std::string& line : m_lines) err << line << "\n";
        return kExitFailed;
    }

private:
    std::vector<std::string> m_lines;
};

// The text of a list file as UTF-8: UTF-16 (either byte order, with or without a byte order
// mark) is converted; a file with zero bytes in it is no text. Empty, or what is wrong.
std::string ListText(const std::vector<uint8_t>& bytes, std::string& text) {
    const TextEncoding encoding = DetectTextEncoding(bytes);
    if (encoding != TextEncoding::kUtf8) {
        if (Utf8FromUtf16(bytes, encoding, text)) return {};
        return std::string("looks like ") + EncodingName(encoding) +
               " text but is not well-formed; save the list as UTF-8 (PowerShell: Out-File -Encoding utf8)";
    }
    text.assign(bytes.begin(), bytes.end());
    if (text.find('\0') != std::string::npos)
        return "is no text (it holds zero bytes): a list names one FILE[=NAME] per line, in UTF-8 or UTF-16";
    return {};
}

// The lines of the list files, each with its origin; relative paths are taken from the list's
// folder.
std::vector<InputOperand> ReadLists(const std::vector<std::string>& lists, CProblems& problems) {
    std::vector<InputOperand> inputs;
    bool standardInputRead = false;
    for (const std::string& list : lists) {
        const bool fromStandardInput = list == kStandardStream;
        std::vector<uint8_t> text;
        std::string error;
        if (fromStandardInput && standardInputRead) error = "standard input can be read as one list only";
        else error = fromStandardInput ? ReadStandardInput(text) : ReadWholeFile(list, text);
        standardInputRead = standardInputRead || fromStandardInput;
        if (!error.empty()) {
            problems.Add({}, error);
            continue;
        }
        const std::string folder = fromStandardInput ? "." : FolderOf(list);
        const std::string shown = fromStandardInput ? kStandardInputName : list;
        std::string lines;
        error = ListText(text, lines);
        if (!error.empty()) {
            problems.Add({}, "'" + shown + "' " + error);
            continue;
        }
        for (const ListLine& line : ParseListText(lines)) {
            InputOperand input = SplitInputOperand(line.text);
            input.origin = shown + ":" + std::to_string(line.number);
            if (!input.path.empty() && !IsAbsolutePath(input.path) && folder != ".")
                input.path = JoinPath(folder, input.path);
            inputs.push_back(input);
        }
    }
    return inputs;
}

// What is wrong with an input of `size` bytes: a package carries no empty entry and none of 4 GiB.
std::string CheckInputSize(const std::string& path, uint64_t size) {
    if (size == 0) return "'" + path + "' is empty: an empty entry cannot be carried in a package";
    if (size > kFormatSizeLimit) return "'" + path + "' is larger than the 4 GiB the package format can carry";
    return {};
}

// What is wrong with the file of an input, or empty.
std::string CheckInputFile(const std::string& path) {
    const FileFacts facts = ExamineFile(path);
    switch (facts.kind) {
        case PathKind::kMissing: return "cannot open '" + path + "': " + facts.problem;
        case PathKind::kFolder: return "'" + path + "' is a folder, not a file";
        case PathKind::kOther: return "'" + path + "' is not a file";
        case PathKind::kFile: break;
    }
    return CheckInputSize(path, facts.size);
}

// Every input checked before anything is read: names, clashes, the files. Each problem is named
// where its input was given.
void CheckInputs(const std::vector<InputOperand>& inputs, CProblems& problems) {
    std::map<std::string, const InputOperand*> byName, byFoldedName;
    for (const InputOperand& input : inputs) {
        if (input.path.empty()) {
            problems.Add(input.origin, "'" + ShownName(input.name) + "' names no file (FILE=NAME needs a file before '=')");
            continue;
        }
        const std::string why = WhyNotPlainName(input.name);
        if (!why.empty()) {
            problems.Add(input.origin, "entry name '" + ShownName(input.name) + "' " + why);
            continue;
        }
        const auto same = byName.find(input.name);
        const auto folded = byFoldedName.find(FoldedName(input.name));
        if (same != byName.end()) {
            problems.Add(input.origin, "entry name '" + ShownName(input.name) + "' is given twice (first " +
                                           WhereNamed(*same->second) + ")");
        } else if (folded != byFoldedName.end()) {
            problems.Add(input.origin, "entry names '" + ShownName(folded->second->name) + "' (" +
                                           WhereNamed(*folded->second) + ") and '" + ShownName(input.name) +
                                           "' differ only in letter case: Windows would make them one file");
        } else {
            byName[input.name] = &input;
            byFoldedName[FoldedName(input.name)] = &input;
        }
        const std::string error = CheckInputFile(input.path);
        if (!error.empty()) problems.Add(input.origin, error);
    }
}

// Reads one input of a package: a non-empty file within the format's limits (checked again on
// what was read, as the file may have changed since it was examined).
std::string ReadInput(const std::string& path, std::vector<uint8_t>& bytes) {
    const std::string error = ReadWholeFile(path, bytes);
    return error.empty() ? CheckInputSize(path, bytes.size()) : error;
}

MemoryNeed NeedOf(uint64_t fileSize, const std::vector<package::PackageInput>& entries) {
    MemoryNeed need;
    need.file = fileSize;
    for (const package::PackageInput& entry : entries) need.AddEntry(entry.contents.size());
    return need;
}

int Create(const CommandLine& line, std::ostream& out, std::ostream& err, WriteRecord& record) {
    if (line.operands.empty()) return Usage(err, line, "create needs OUT");
    const std::string& output = line.operands[0];
    const bool toStandardOutput = output == kStandardStream;

    CProblems problems;
    std::vector<InputOperand> inputs = ReadLists(line.listFiles, problems);
    for (size_t i = 1; i < line.operands.size(); ++i) inputs.push_back(SplitInputOperand(line.operands[i]));
    if (inputs.empty() && problems.Empty()) problems.Add({}, "create: no input files");
    CheckInputs(inputs, problems);

    if (toStandardOutput) {
        if (StandardOutputIsTerminal())
            problems.Add({}, "standard output is a terminal: redirect it to a file or a pipe for the package");
    } else {
        const std::string error = CheckOutput(output, line.force);
        if (!error.empty()) problems.Add({}, error);
        bool isInput = false;
        for (const InputOperand& input : inputs) isInput = isInput || IsSameFile(input.path, output);
        for (const std::string& list : line.listFiles) isInput = isInput || IsSameFile(list, output);
        if (isInput) problems.Add({}, "'" + output + "' is also an input");
    }
    if (!problems.Empty()) return problems.Report(err);

    std::vector<package::PackageInput> entries;
    for (const InputOperand& input : inputs) {
        package::PackageInput entry;
        entry.name = input.name;
        const std::string error = ReadInput(input.path, entry.contents);
        if (!error.empty()) return Fail(err, error);
        entries.push_back(std::move(entry));
    }

    const uint8_t key = line.keyGiven ? line.key : DefaultKeyByte(entries);
    package::WriteResult package = package::BuildPackage(entries, key);
    if (!package.ok) return Fail(err, package.error);

    const std::string warning =
        MemoryWarning(NeedOf(package.bytes.size(), entries), "the launcher with this package (and its own bytes)");
    if (Warn(err, line, warning)) return kExitStrictWarning;

    const std::vector<ByteSpan> pieces = {{package.bytes.data(), package.bytes.size()}};
    const std::string error = toStandardOutput ? WriteStandardOutput(pieces) : WriteFileWhole(output, pieces, line.force);
    if (!error.empty()) return Fail(err, error);
    record.written = true;
    record.keyByte = key;
    RecordOutput(record, output, package.bytes.data(), package.bytes.size());
    for (const package::PackageInput& entry : entries)
        record.entries.push_back(RecordEntry(entry.name, entry.contents.data(), entry.contents.size()));
    // With the package on standard output, the report goes to standard error (not with --quiet).
    if (!toStandardOutput || !line.quiet)
        (toStandardOutput ? err : out) << (toStandardOutput ? kStandardOutputName : output) << ": " << entries.size()
                                       << " entries, " << package.bytes.size() << " bytes\n";
    return kExitOk;
}

int Append(const CommandLine& line, std::ostream& out, std::ostream& err, WriteRecord& record) {
    if (line.operands.size() != 3) return WrongOperands(err, line, 3, "EXE PACKAGE OUT");
    const std::string& exePath = line.operands[0];
    const std::string& packagePath = line.operands[1];
    const std::string& output = line.operands[2];

    if (IsSameFile(output, exePath) || IsSameFile(output, packagePath))
        return Fail(err, "'" + output + "' is also an input: append writes a new file");
    std::string error = CheckOutput(output, line.force);
    if (!error.empty()) return Fail(err, error);

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
    LauncherMachine machine = LauncherMachine::kUnknown;
    const std::string notLauncher = WhyNotLauncherImage(exe.data(), exe.size(), kFileEnds, nullptr, &machine);
    if (!notLauncher.empty())
        return Fail(err, "'" + exePath + "' is no " + CompleteExecutableWords(machine) + ": " + notLauncher);

    size_t header = package::FindHeader(packageBytes.data(), packageBytes.size());
    if (header != 0) return Fail(err, "'" + packagePath + "' does not start with a package");
    CPackedTools reader;
    if (reader.m_status == kPackageOk)
        reader.LoadBytes(packageBytes.data(), static_cast<uint32_t>(packageBytes.size()), 0);
    if (reader.m_status == kPackageDamaged)
        return Fail(err, "'" + packagePath + "': " + VerdictOf(reader.m_status) + ": " + WhyDamaged(packageBytes, reader));
    if (reader.m_status != kPackageOk) return Fail(err, "'" + packagePath + "': " + VerdictOf(reader.m_status));
    if (package::PackageLength(packageBytes.data()) != packageBytes.size())
        return Fail(err, "'" + packagePath + "' holds bytes after its package");

    // The reader takes the first valid header in the file: make sure that is the appended one.
    std::vector<uint8_t> joined;
    joined.reserve(exe.size() + packageBytes.size());
    joined.insert(joined.end(), exe.begin(), exe.end());
    joined.insert(joined.end(), packageBytes.begin(), packageBytes.end());
    if (package::FindHeader(joined.data(), joined.size()) != exe.size())
        return Fail(err, "the end of '" + exePath + "' would hide the package from the reader");

    const std::string warning = MemoryWarning(MemoryNeedOf(joined.size(), reader), "'" + output + "'");
    if (Warn(err, line, warning)) return kExitStrictWarning;

    // The launcher's executable bits go with it (POSIX; Windows has none).
    error = WriteFileWhole(output, {{joined.data(), joined.size()}}, line.force, ExecutableBits(exePath));
    if (!error.empty()) return Fail(err, error);
    record.written = true;
    record.packageOffset = exe.size();
    record.machine = MachineLabel(machine);
    RecordOutput(record, output, joined.data(), joined.size());
    for (const auto& [name, entry] : reader.m_files) record.entries.push_back(RecordEntry(name, entry.data.get(), entry.size));
    out << output << ": package of " << packageBytes.size() << " bytes appended at offset " << exe.size() << "\n";
    out << MachineLine(output, machine) << "\n";
    return kExitOk;
}

}  // namespace

int RunCreate(const CommandLine& line, std::ostream& out, std::ostream& err) {
    return RunRecorded(Create, line, out, err);
}

int RunAppend(const CommandLine& line, std::ostream& out, std::ostream& err) {
    return RunRecorded(Append, line, out, err);
}

}  // namespace linkmoor::tools
