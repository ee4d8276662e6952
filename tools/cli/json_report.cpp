// The JSON documents of list, verify, check and diff.

#include "tools/cli/json_report.h"

#include "package/package_format.h"
#include "resources/version.h"
#include "tools/cli/command_line.h"
#include "tools/cli/write_record.h"
#include "tools/files/utf8.h"
#include "tools/model/launcher_memory.h"
#include "tools/model/package_check.h"
#include "tools/model/package_diff.h"
#include "tools/model/package_file.h"

#include <zlib.h>

namespace linkmoor::tools {

namespace {

const char* StatusKey(int32_t status) {
    switch (status) {
        case kPackageOk: return "valid";
        case kPackageDamaged: return "damaged";
        case kPackageNotRead: return "not_read";
        case kPackageNoMemory: return "no_memory";
        default: return "unknown";
    }
}

const char* FrontKey(FrontKind kind) {
    switch (kind) {
        case FrontKind::kLauncher: return "launcher";
        case FrontKind::kNone: return "package_file";
        case FrontKind::kNotLauncher: break;
    }
    return "not_launcher";
}

const char* FateKey(FileFate fate) {
    switch (fate) {
        case FileFate::kUnpack: return "unpack";
        case FileFate::kMissing: return "missing";
        case FileFate::kMissingOptional: return "missing_optional";
        case FileFate::kNotReached: break;
    }
    return "not_reached";
}

const char* ChangeKey(EntryChange change) {
    switch (change) {
        case EntryChange::kSame: return "same";
        case EntryChange::kChanged: return "changed";
        case EntryChange::kAdded: return "added";
        case EntryChange::kRemoved: break;
    }
    return "removed";
}

const char* BeforeKey(BeforeDiff before) {
    switch (before) {
        case BeforeDiff::kIdentical: return "identical";
        case BeforeDiff::kSignatureFieldsOnly: return "signature_fields_only";
        case BeforeDiff::kDiffer: break;
    }
    return "differ";
}

// "name", and "name_hex" with the exact bytes when the name is no UTF-8 text.
void WriteName(CJsonWriter& json, const std::string& name) {
    json.Member("name", name);
    if (!IsUtf8(name))
        json.Member("name_hex", HexOf(reinterpret_cast<const uint8_t*>(name.data()), name.size()));
}

// size, md5 and sha256 of an entry's contents, the digests as create, append and extract record them.
void WriteContents(CJsonWriter& json, const CPackedTools::Entry& entry) {
    const WrittenEntry digests = RecordEntry(std::string(), entry.data.get(), entry.size);
    json.Member("size", entry.size);
    json.Member("md5", digests.md5);
    json.Member("sha256", digests.sha256);
}

void WriteEntries(CJsonWriter& json, const PackageFile& file) {
    const auto stored = file.StoredEntries();
    json.Key("entries").BeginArray();
    for (const auto& [name, entry] : file.reader->m_files) {
        json.BeginObject();
        WriteName(json, name);
        const auto at = stored.find(name);
        json.Member("stored_order", at == stored.end() ? 0u : at->second.order);
        json.Member("compressed_size", at == stored.end() ? 0u : at->second.compressedSize);
        WriteContents(json, entry);
        json.EndObject();
    }
    json.EndArray();
}

void WriteOptionalText(CJsonWriter& json, const std::string& key, const std::string& text) {
    json.Key(key);
    if (text.empty()) json.Null();
    else json.String(text);
}

}  // namespace

void BeginDocument(CJsonWriter& json, const std::string& command, int exitCode, const std::string& summary) {
    json.BeginObject();
    json.Member("format_version", kJsonFormatVersion);
    json.Key("tool").BeginObject();
    json.Member("version", kToolVersion);
    json.Member("launcher_version", LINKMOOR_LAUNCHER_VERSION_TEXT);
    json.Member("zlib_version", zlibVersion());
    json.EndObject();
    json.Member("command", command);
    json.Member("exit_code", exitCode);
    json.Member("summary", summary);
}

void WriteFileObject(CJsonWriter& json, const PackageFile& file, bool withEntries) {
    json.BeginObject();
    json.Member("path", file.path);
    json.Member("verdict", StatusKey(file.status));
    WriteOptionalText(json, "reason", file.reason);
    if (!file.Valid()) {
        json.Key("front").Null();
        json.Key("package").Null();
        json.Key("signature").Null();
        json.Key("entries").Null();
        json.EndObject();
        return;
    }
    json.Member("size", uint64_t(file.bytes.size()));
    json.Key("front").BeginObject();
    json.Member("kind", FrontKey(file.front.kind));
    WriteOptionalText(json, "problem", file.front.problem);
    json.Key("image_end");
    if (file.front.kind == FrontKind::kLauncher) json.Number(file.front.imageEnd);
    else json.Null();
    json.Key("machine");
    if (file.front.kind == FrontKind::kLauncher) json.String(MachineLabel(file.front.machine));
    else json.Null();
    json.EndObject();

    const uint8_t* header = file.bytes.data() + file.packageAt;
    json.Key("package").BeginObject();
    json.Member("offset", uint64_t(file.packageAt));
    json.Member("end", file.packageEnd);
    json.Member("key_byte", uint32_t(header[package::kKeyByteOffset]));
    json.Member("body_length", package::ReadLe32(header + package::kBodyLengthOffset));
    json.Member("entry_count", package::ReadLe32(header + package::kEntryCountOffset));
    json.EndObject();

    json.Key("signature").BeginObject();
    json.Member("signed", file.signature.IsSigned());
    json.Member("covers_package", file.signature.IsSigned() && file.signature.covered);
    json.Key("table_offset");
    if (file.signature.Named()) json.Number(file.signature.tableOffset);
    else json.Null();
    json.Member("table_state", TableShapeKey(file.signature.table.shape));
    WriteOptionalText(json, "table_problem", BrokenSignatureText(file.signature, file.bytes.size()));
    json.EndObject();

    if (withEntries && file.reader) WriteEntries(json, file);
    else json.Key("entries").Null();
    json.EndObject();
}

void WriteCheckObject(CJsonWriter& json, const CheckResult& result) {
    json.BeginObject();
    json.Key("machines").BeginArray();
    for (const MachineRun& machine : result.machines) {
        json.BeginObject();
        json.Member("architecture", NamesOf(machine.architecture).folder);
        json.Member("windows", GenerationLabel(machine.windows10OrNewer));
        json.Member("runs", !machine.stops);
        json.Key("files").BeginArray();
        for (const MachineFile& item : machine.files) {
            json.BeginObject();
            json.Member("entry", item.file.entry);
            json.Member("target", item.file.target);
            json.Member("optional", item.file.optional);
            json.Member("fate", FateKey(item.fate));
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
    json.Key("unused").BeginArray();
    for (const std::string& name : result.unused) json.String(name);
    json.EndArray();
    const CheckCounts& counts = result.counts;
    json.Key("counts").BeginObject();
    json.Member("machines", counts.machines);
    json.Member("failing_machines", counts.failingMachines);
    json.Member("errors", counts.errors);
    json.Member("warnings", counts.warnings);
    json.Member("unused", counts.unused);
    json.EndObject();
    json.EndObject();
}

void WriteDiffMembers(CJsonWriter& json, const std::vector<EntryDifference>& differences, const DiffCounts& counts,
                      const BytesDiff& bytes) {
    json.Key("entries").BeginArray();
    for (const EntryDifference& d : differences) {
        json.BeginObject();
        WriteName(json, d.name);
        json.Member("change", ChangeKey(d.change));
        for (const auto& [key, entry] : {std::make_pair("old", d.older), std::make_pair("new", d.newer)}) {
            json.Key(key);
            if (!entry) {
                json.Null();
                continue;
            }
            json.BeginObject();
            WriteContents(json, *entry);
            json.EndObject();
        }
        json.EndObject();
    }
    json.EndArray();
    json.Key("counts").BeginObject();
    json.Member("same", uint64_t(counts.same));
    json.Member("changed", uint64_t(counts.changed));
    json.Member("added", uint64_t(counts.added));
    json.Member("removed", uint64_t(counts.removed));
    json.EndObject();
    json.Member("package_bytes", bytes.packageSame ? "identical" : "differ");
    json.Member("bytes_before", BeforeKey(bytes.before));
    json.Member("bytes_after", bytes.afterSame ? "identical" : "differ");
    json.Member("only_signature_differs", counts.Identical() && bytes.SignatureOnly());
}

void WriteMemoryObject(CJsonWriter& json, const MemoryNeed& need) {
    json.BeginObject();
    json.Member("file", need.file);
    json.Member("contents", need.contents);
    json.Member("largest_entry", need.largestEntry);
    json.Member("need", need.Total());
    json.Member("limit", kLauncherMemoryLimit);
    json.Member("over_limit", need.Total() > kLauncherMemoryLimit);
    json.EndObject();
}

}  // namespace linkmoor::tools
