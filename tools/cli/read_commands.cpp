// verify, list, extract, check and diff: the commands that read packages.

#include "tools/cli/commands.h"

#include "tools/cli/json_report.h"
#include "tools/cli/pack_commands.h"
#include "tools/cli/write_record.h"
#include "tools/files/file_io.h"
#include "tools/files/utf8.h"
#include "tools/model/entry_names.h"
#include "tools/model/launcher_memory.h"
#include "tools/model/package_check.h"
#include "tools/model/package_diff.h"
#include "tools/model/package_file.h"
#include "tools/model/verdicts.h"

#include <map>
#include <ostream>

namespace linkmoor::tools {

namespace {

// The one line verify writes for a file: the verdict, with its reason when it is no valid
// package, or what is wrong with the front of a valid one.
std::string VerifyLine(const PackageFile& file) {
    if (!file.Valid()) return file.VerdictLine();
    if (file.front.kind == FrontKind::kNotLauncher) return file.FrontLine();
    if (SignatureBroken(file.signature)) return file.BrokenSignatureLine();
    return file.path + ": " + kVerdictValid;
}

// The document of list and verify, whose one member after the opening ones is the file.
void WriteFileDocument(std::ostream& out, const std::string& command, int exitCode, const std::string& summary,
                       const PackageFile& file, bool withEntries) {
    CJsonWriter json(out);
    BeginDocument(json, command, exitCode, summary);
    json.Key("file");
    WriteFileObject(json, file, withEntries);
    json.EndObject();
}

// The verdict on a file whose package did not load: its line on `err`, or with --json a document
// with the file alone.
int WriteRefusal(const std::string& command, const PackageFile& file, int exitCode, bool json, std::ostream& out,
                 std::ostream& err) {
    if (json) WriteFileDocument(out, command, exitCode, file.VerdictLine(), file, false);
    else err << file.VerdictLine() << "\n";
    return exitCode;
}

// What an extract target may be: a missing file, or with --force an existing file that is not
// the package being extracted. `exists` tells whether a file stands there.
std::string CheckTarget(const std::string& target, bool force, const std::string& packagePath, bool& exists) {
    const std::string error = CheckOutputPath(target, force, exists);
    if (error.empty() && exists && IsSameFile(target, packagePath)) return "'" + target + "' is the package file itself";
    return error;
}

inline constexpr char kInterruptedBy[] = "interrupted by ";

// The entries whose names no Windows folder can hold (extract refuses such a package), each with
// the reason, in index order.
std::vector<std::pair<std::string, std::string>> UnwritableNames(const CPackedTools& reader) {
    std::vector<std::pair<std::string, std::string>> names;
    for (const auto& [name, entry] : reader.m_files) {
        std::string why = WhyNotPlainName(name);
        if (!why.empty()) names.emplace_back(name, std::move(why));
    }
    return names;
}

// "warning: entry name 'NAME' WHY: extract refuses this package"
std::string NameProblemLine(const std::string& name, const std::string& why) {
    return "warning: entry name '" + ShownName(name) + "' " + why + ": extract refuses this package";
}

// An extract that stopped part way: removes the files it created (and DIR, when it made it and
// it is empty again) and says what is left.
int FailExtract(std::ostream& err, const std::string& error, const std::string& folder, bool folderCreated,
                size_t total, const std::vector<std::string>& created, const std::vector<std::string>& replaced) {
    std::string kept;
    size_t removed = 0;
    for (const std::string& path : created) {
        if (RemoveFile(path)) ++removed;
        else kept += (kept.empty() ? "" : ", ") + path;
    }
    const bool folderRemoved = folderCreated && RemoveEmptyFolder(folder);
    std::string message = error + "; extract stopped after writing " + std::to_string(created.size() + replaced.size()) +
                          " of " + std::to_string(total) + " entries into " + folder;
    if (!created.empty()) message += "; the " + std::to_string(removed) + " new files it wrote were removed";
    if (folderRemoved) message += "; the folder it created was removed";
    if (!kept.empty()) message += "; these could not be removed: " + kept;
    if (!replaced.empty()) {
        message += "; " + std::to_string(replaced.size()) + " files that existed were replaced and keep the contents "
                   "of the package:";
        for (const std::string& path : replaced) message += " " + path;
    }
    return Fail(err, message);
}

}  // namespace

int RunVerify(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.operands.size() != 1) return WrongOperands(err, line, 1, "FILE");
    // The JSON document lists the entries, so the index is kept.
    const PackageFile file = OpenPackageFile(line.operands[0], !line.json);
    const int exitCode = file.ExitCode(true);
    if (line.json) {
        WriteFileDocument(out, line.command, exitCode, VerifyLine(file), file, true);
        return exitCode;
    }
    (exitCode == kExitValid ? out : err) << VerifyLine(file) << "\n";
    if (exitCode != kExitValid) return exitCode;
    if (file.front.kind == FrontKind::kLauncher) out << MachineLine(file.path, file.front.machine) << "\n";
    if (file.signature.IsSigned()) out << file.path << ": " << CoveredText(file.signature) << "\n";
    return exitCode;
}

int RunList(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.operands.size() != 1) return WrongOperands(err, line, 1, "FILE");
    const PackageFile file = OpenPackageFile(line.operands[0], false);
    const int exitCode = file.ExitCode(false);
    if (!file.Valid()) return WriteRefusal(line.command, file, exitCode, line.json, out, err);
    if (line.json) {
        WriteFileDocument(out, line.command, exitCode,
                          file.path + ": " + std::to_string(file.reader->m_files.size()) + " entries", file, true);
        return exitCode;
    }
    for (const auto& [name, entry] : file.reader->m_files) out << entry.size << " " << ShownName(name) << "\n";
    return exitCode;
}

namespace {

int Extract(const CommandLine& line, std::ostream& out, std::ostream& err, WriteRecord& record) {
    if (line.operands.size() != 2) return WrongOperands(err, line, 2, "FILE DIR");
    const std::string& packagePath = line.operands[0];
    const std::string& folder = line.operands[1];
    const PackageFile file = OpenPackageFile(packagePath, false);
    if (!file.Valid()) return WriteRefusal(line.command, file, file.ExitCode(false), false, out, err);
    const auto& entries = file.reader->m_files;

    // Every name and target is checked before the first file is written.
    std::map<std::string, std::string> byFoldedName;
    for (const auto& [name, entry] : entries) {
        const std::string why = WhyNotPlainName(name);
        if (!why.empty()) return Fail(err, "entry name '" + ShownName(name) + "' " + why + ": nothing extracted");
        const auto clash = byFoldedName.emplace(FoldedName(name), name);
        if (!clash.second)
            return Fail(err, "entries '" + ShownName(clash.first->second) + "' and '" + ShownName(name) +
                                 "' differ only in letter case: on Windows they would be one file; nothing extracted");
    }
    // From here an interrupt ends the extract as a failure does: what this run wrote goes.
    CInterruptDeferral deferral;
    bool folderCreated = false;
    std::string error = CreateFolder(folder, &folderCreated);
    if (!error.empty()) return Fail(err, error);
    std::vector<bool> existed;
    for (const auto& [name, entry] : entries) {
        const std::string target = JoinPath(folder, name);
        bool exists = false;
        error = CheckTarget(target, line.force, packagePath, exists);
        if (!error.empty()) {
            if (folderCreated) RemoveEmptyFolder(folder);
            return Fail(err, error + ": nothing extracted");
        }
        existed.push_back(exists);
    }

    // Two entries never become one file, whatever the file system folds: a target that exists
    // now but did not before, or is the file of an earlier entry, is one this run wrote.
    std::vector<std::string> created, replaced;
    size_t index = 0;
    for (const auto& [name, entry] : entries) {
        const std::string target = JoinPath(folder, name);
        const bool replace = existed[index++];
        std::string merged;
        if (GetPathKind(target) == PathKind::kFile) {
            for (const auto* written : {&created, &replaced})
                for (const std::string& earlier : *written)
                    if (merged.empty() && IsSameFile(target, earlier)) merged = "'" + earlier + "'";
            if (!replace && merged.empty()) merged = "a file that appeared meanwhile";
        }
        if (!merged.empty()) {
            error = "'" + target + "' would be written over " + merged + ", which this file system takes for the same file";
        } else {
            error = WriteFileWhole(target, {{entry.data.get(), entry.size}}, replace);
        }
        if (error.empty()) {
            (replace ? replaced : created).push_back(target);
            record.entries.push_back(RecordEntry(name, entry.data.get(), entry.size));
            record.entries.back().target = target;
            record.entries.back().replaced = replace;
        }
        const std::string interrupt = PendingInterrupt();
        if (!interrupt.empty()) {
            FailExtract(err, kInterruptedBy + interrupt, folder, folderCreated, entries.size(), created, replaced);
            err.flush();
            EndByInterrupt();
        }
        if (!error.empty()) return FailExtract(err, error, folder, folderCreated, entries.size(), created, replaced);
    }
    record.written = true;
    record.output = folder;
    out << packagePath << ": " << entries.size() << " entries extracted into " << folder << "\n";
    return kExitOk;
}

}  // namespace

int RunExtract(const CommandLine& line, std::ostream& out, std::ostream& err) {
    return RunRecorded(Extract, line, out, err);
}

int RunCheck(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.operands.size() != 1) return WrongOperands(err, line, 1, "FILE");
    const PackageFile file = OpenPackageFile(line.operands[0], false);
    if (!file.Valid()) return WriteRefusal(line.command, file, file.ExitCode(true), line.json, out, err);

    const CheckResult result = CheckPackage(*file.reader);
    const std::vector<std::pair<std::string, std::string>> names = UnwritableNames(*file.reader);
    std::string summary = CheckSummary(result.counts);
    int exitCode = CheckExitCode(result.counts);
    const std::string machines = MachinesVerdict(result.counts);
    if (file.front.kind == FrontKind::kNone) {
        summary = "check failed: a package without a launcher, which no machine can start; appended to the launcher: " +
                  machines;
        exitCode = kExitPackageWithoutLauncher;
    } else if (file.front.kind == FrontKind::kNotLauncher) {
        summary = "check failed: what stands before the package is no " + CompleteExecutableWords(file.front.machine) +
                  " (" + file.front.problem + "), which no machine can start; with the launcher in front: " + machines;
        exitCode = kExitNotLauncher;
    } else if (SignatureBroken(file.signature)) {
        summary = "check failed: the signature is not whole (" + BrokenSignatureText(file.signature, file.bytes.size()) +
                  "); apart from it: " + machines;
        exitCode = kExitSignatureBroken;
    }
    const MemoryNeed need = MemoryNeedOf(file.bytes.size(), *file.reader);
    const std::string warning = MemoryWarning(need, "'" + file.path + "'");
    const bool warned = result.counts.warnings > 0 || !names.empty() || !warning.empty();
    if (line.strict && warned && exitCode == kExitOk) {
        summary = "check failed (--strict: warnings are errors): " + machines;
        exitCode = kExitStrictWarning;
    }
    if (line.json) {
        CJsonWriter json(out);
        BeginDocument(json, line.command, exitCode, file.path + ": " + summary);
        json.Key("file");
        WriteFileObject(json, file, true);
        json.Key("check");
        WriteCheckObject(json, result);
        json.Key("unwritable_names").BeginArray();
        for (const auto& [name, why] : names) {
            json.BeginObject();
            json.Member("name", name);
            json.Member("problem", why);
            json.EndObject();
        }
        json.EndArray();
        json.Key("memory");
        WriteMemoryObject(json, need);
        json.EndObject();
        return exitCode;
    }
    WriteCheckReport(result, out);
    for (const auto& [name, why] : names) out << file.path << ": " << NameProblemLine(name, why) << "\n";
    if (file.front.kind == FrontKind::kLauncher) out << MachineLine(file.path, file.front.machine) << "\n";
    if (file.signature.IsSigned()) out << file.path << ": " << CoveredText(file.signature) << "\n";
    if (SignatureBroken(file.signature)) out << file.BrokenSignatureLine() << "\n";
    Warn(err, line, warning);
    out << file.path << ": " << summary << "\n";
    return exitCode;
}

int RunDiff(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.operands.size() != 2) return WrongOperands(err, line, 2, "OLD NEW");
    const PackageFile older = OpenPackageFile(line.operands[0], false);
    const PackageFile newer = older.Valid() ? OpenPackageFile(line.operands[1], false) : PackageFile();
    const PackageFile& refused = older.Valid() ? newer : older;
    if (!older.Valid() || !newer.Valid()) {
        const int exitCode = refused.ExitCode(false);
        if (!line.json) {
            err << refused.VerdictLine() << "\n";
            return exitCode;
        }
        CJsonWriter json(out);
        BeginDocument(json, line.command, exitCode, refused.VerdictLine());
        json.Key("old");
        WriteFileObject(json, older, false);
        json.Key("new");
        if (older.Valid()) WriteFileObject(json, newer, false);
        else json.Null();
        json.EndObject();
        return exitCode;
    }

    const std::vector<EntryDifference> differences = CompareEntries(*older.reader, *newer.reader);
    const DiffCounts counts = CountChanges(differences);
    const BytesDiff bytes = CompareBytes(older, newer);
    const int exitCode = DiffExitCode(counts, bytes);
    const std::string summary = older.path + " -> " + newer.path + ": " + DiffSummary(counts, bytes);
    if (line.json) {
        CJsonWriter json(out);
        BeginDocument(json, line.command, exitCode, summary);
        json.Key("old");
        WriteFileObject(json, older, false);
        json.Key("new");
        WriteFileObject(json, newer, false);
        WriteDiffMembers(json, differences, counts, bytes);
        json.EndObject();
        return exitCode;
    }
    WriteEntryDiff(differences, out);
    out << summary << "\n";
    return exitCode;
}

}  // namespace linkmoor::tools
