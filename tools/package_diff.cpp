#include "tools/package_diff.h"

#include <cstring>
#include <ostream>

#include "package/package_format.h"
#include "package/packed_tools.h"

namespace linkmoor::tools {

namespace {

bool SameContents(const CPackedTools::Entry& a, const CPackedTools::Entry& b) {
    return a.size == b.size && std::memcmp(a.data.get(), b.data.get(), a.size) == 0;
}

const char* Verdict(bool identical) { return identical ? "identical" : "differ"; }

}  // namespace

DiffCounts WriteEntryDiff(const CPackedTools& older, const CPackedTools& newer, std::ostream& out) {
    DiffCounts counts;
    // Both indexes are ordered alike: one walk over the two, as a merge.
    auto o = older.m_files.begin();
    auto n = newer.m_files.begin();
    const CPackedTools::ByteLess less;
    while (o != older.m_files.end() || n != newer.m_files.end()) {
        if (n == newer.m_files.end() || (o != older.m_files.end() && less(o->first, n->first))) {
            out << "removed " << o->first << ": " << o->second.size << " bytes\n";
            ++counts.removed;
            ++o;
        } else if (o == older.m_files.end() || less(n->first, o->first)) {
            out << "added " << n->first << ": " << n->second.size << " bytes\n";
            ++counts.added;
            ++n;
        } else {
            if (SameContents(o->second, n->second)) {
                ++counts.same;
            } else {
                out << "changed " << o->first << ": " << o->second.size << " -> "
                    << n->second.size << " bytes\n";
                ++counts.changed;
            }
            ++o;
            ++n;
        }
    }
    return counts;
}

PackageParts SplitAtPackage(const std::vector<uint8_t>& file) {
    PackageParts parts;
    const size_t header = package::FindHeader(file.data(), file.size());
    if (header == package::kNotFound) return parts;
    const uint64_t end = header + package::PackageLength(file.data() + header);
    if (end > file.size()) return parts;
    parts.before.assign(file.begin(), file.begin() + header);
    parts.package.assign(file.begin() + header, file.begin() + size_t(end));
    return parts;
}

std::string DiffSummary(const DiffCounts& counts, const PackageParts& older,
                        const PackageParts& newer) {
    return "entries same " + std::to_string(counts.same) + ", changed " +
           std::to_string(counts.changed) + ", added " + std::to_string(counts.added) +
           ", removed " + std::to_string(counts.removed) + "; package bytes " +
           Verdict(older.package == newer.package) + "; bytes before the package " +
           Verdict(older.before == newer.before);
}

}  // namespace linkmoor::tools
