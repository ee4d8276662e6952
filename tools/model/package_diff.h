#pragma once
// `linkmoor-pack diff`: what changed between two launchers or packages, entry by entry, and
// whether their bytes are the same: the package itself, the executable in front of it, and what
// follows it (a signature). A difference only in the signature's bytes is told apart.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "package/packed_tools.h"
#include "tools/model/package_file.h"

namespace linkmoor::tools {

// Both packages are valid, and their entries differ in name or contents.
inline constexpr int kExitEntriesDiffer = 6;
// The entries are the same, but the package bytes, the launcher in front or the bytes after the
// package differ (beyond the signature).
inline constexpr int kExitBytesDiffer = 10;
// Only the signature differs: the certificate table after the package and the two header fields
// signing writes (the checksum and the certificate table's directory entry).
inline constexpr int kExitOnlySignatureDiffers = 11;

enum class EntryChange { kSame, kChanged, kAdded, kRemoved };

struct EntryDifference {
    std::string name;
    EntryChange change;
    const CPackedTools::Entry* older;  // null when added
    const CPackedTools::Entry* newer;  // null when removed
};

struct DiffCounts {
    size_t same = 0;
    size_t changed = 0;  // the same name, other contents
    size_t added = 0;    // only in the newer package
    size_t removed = 0;  // only in the older package
    bool Identical() const { return changed == 0 && added == 0 && removed == 0; }
};

// Every name of both indexes, in the reader's index order. Both readers hold a loaded package.
std::vector<EntryDifference> CompareEntries(const CPackedTools& older, const CPackedTools& newer);
DiffCounts CountChanges(const std::vector<EntryDifference>& differences);

// Writes one line per entry that differs, in the reader's index order, to `out`:
//   changed <name>: <older size> -> <newer size> bytes
//   added <name>: <size> bytes
//   removed <name>: <size> bytes
void WriteEntryDiff(const std::vector<EntryDifference>& differences, std::ostream& out);

enum class BeforeDiff { kIdentical, kSignatureFieldsOnly, kDiffer };

struct BytesDiff {
    bool packageSame = true;
    BeforeDiff before = BeforeDiff::kIdentical;
    bool afterSame = true;
    // The bytes after the package other than a whole signature (a certificate table that
    // follows the package, with at most its alignment padding between) are the same.
    bool afterOutsideSignatureSame = true;
    bool anySigned = false;       // a file carries a whole, well-formed certificate table
    bool anyBrokenTable = false;  // a file names a table that is cut short, outside or malformed
    // Nothing but the signature's bytes differ (entries aside).
    bool SignatureOnly() const;
    bool Identical() const { return packageSame && before == BeforeDiff::kIdentical && afterSame; }
};

// Both files hold a valid package.
BytesDiff CompareBytes(const PackageFile& older, const PackageFile& newer);

// "entries same S, changed C, added A, removed R; package bytes identical|differ; bytes before
// the package identical|differ|differ only in the signature fields; bytes after the package
// identical|differ[; only the signature differs]"
std::string DiffSummary(const DiffCounts& counts, const BytesDiff& bytes);

// 0 when nothing differs, else kExitEntriesDiffer, kExitOnlySignatureDiffers or kExitBytesDiffer.
int DiffExitCode(const DiffCounts& counts, const BytesDiff& bytes);

}  // namespace linkmoor::tools
