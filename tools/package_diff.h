#pragma once
// `linkmoor-pack diff`: what changed between two launchers or packages, entry by entry, and
// whether their bytes are the same where it matters for a rebuild: the package itself and the
// executable in front of it.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace linkmoor {
class CPackedTools;
}

namespace linkmoor::tools {

// Both packages are valid, and their entries differ in name or contents.
inline constexpr int kExitEntriesDiffer = 6;

struct DiffCounts {
    size_t same = 0;
    size_t changed = 0;  // the same name, other contents
    size_t added = 0;    // only in the newer package
    size_t removed = 0;  // only in the older package
    bool Identical() const { return changed == 0 && added == 0 && removed == 0; }
};

// Writes one line per entry that differs, in the reader's index order, to `out`:
//   changed <name>: <older size> -> <newer size> bytes
//   added <name>: <size> bytes
//   removed <name>: <size> bytes
// Both readers hold a loaded package.
DiffCounts WriteEntryDiff(const CPackedTools& older, const CPackedTools& newer, std::ostream& out);

// A file holding a valid package, cut where the package starts and ends.
struct PackageParts {
    std::vector<uint8_t> before;   // the executable the package is appended to (empty for a
                                   // package file)
    std::vector<uint8_t> package;  // header and body
};
PackageParts SplitAtPackage(const std::vector<uint8_t>& file);

// "entries same S, changed C, added A, removed R; package bytes identical|differ; bytes before
// the package identical|differ"
std::string DiffSummary(const DiffCounts& counts, const PackageParts& older,
                        const PackageParts& newer);

}  // namespace linkmoor::tools
