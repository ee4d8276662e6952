#pragma once
// The package tool's machine-readable output (--json): one JSON document per run, in the
// schema tools/README describes. Every document starts with the format version.

#include <string>
#include <vector>

#include "tools/cli/json_writer.h"

namespace linkmoor::tools {

struct CheckResult;
struct PackageFile;
struct EntryDifference;
struct DiffCounts;
struct BytesDiff;
struct MemoryNeed;

// The version of the documents' schema: a new one only when a field changes meaning or goes.
inline constexpr int kJsonFormatVersion = 1;

// Opens the document: format_version, tool, command, exit_code, summary (the human line).
void BeginDocument(CJsonWriter& json, const std::string& command, int exitCode, const std::string& summary);

// The object of one file: path, verdict and reason, front, package, signature, and the entries
// of a loaded index when `withEntries`.
void WriteFileObject(CJsonWriter& json, const PackageFile& file, bool withEntries);

// The "check" object: machines with the files their runs write, unused entries, counts.
void WriteCheckObject(CJsonWriter& json, const CheckResult& result);

// The members of a diff: entries with their change, counts, and the byte verdicts.
void WriteDiffMembers(CJsonWriter& json, const std::vector<EntryDifference>& differences, const DiffCounts& counts,
                      const BytesDiff& bytes);

// The "memory" object: what the launcher must hold for this package and the measured limit.
void WriteMemoryObject(CJsonWriter& json, const MemoryNeed& need);

}  // namespace linkmoor::tools
