// Comparing two launchers or packages: entry by entry, and the bytes around the package.

#include "tools/model/package_diff.h"

#include <cstring>
#include <ostream>

#include "package/certificate_table.h"
#include "package/pe_headers.h"
#include "tools/files/utf8.h"

namespace linkmoor::tools {

namespace {

bool SameContents(const CPackedTools::Entry& a, const CPackedTools::Entry& b) {
    return a.size == b.size && std::memcmp(a.data.get(), b.data.get(), a.size) == 0;
}

const char* Verdict(bool identical) { return identical ? "identical" : "differ"; }

// The words of a BeforeDiff as the summary uses them.
const char* BeforeWords(BeforeDiff before) {
    switch (before) {
        case BeforeDiff::kIdentical: return "identical";
        case BeforeDiff::kSignatureFieldsOnly: return "differ only in the signature fields";
        case BeforeDiff::kDiffer: break;
    }
    return "differ";
}

bool SameRange(const uint8_t* a, const uint8_t* b, size_t from, size_t to) {
    return from >= to || std::memcmp(a + from, b + from, to - from) == 0;
}

// Two executables of one size that differ, compared again without the fields signing writes.
bool SameButSignatureFields(const uint8_t* a, const uint8_t* b, size_t size) {
    const package::PeHeaders headers = package::ReadPeHeaders(a, size);
    if (headers.stop != package::PeHeaders::Stop::kComplete) return false;
    const package::PeHeaders other = package::ReadPeHeaders(b, size);
    if (other.stop != headers.stop || other.peAt != headers.peAt || other.magic != headers.magic) return false;
    const uint64_t checksum = headers.optionalAt + package::kCheckSumOffset;
    const uint64_t entry = headers.optionalAt + package::SecurityEntryOffset(headers.magic);
    if (!package::Fits(size, entry, package::kDirectoryEntrySize)) return false;
    return SameRange(a, b, 0, size_t(checksum)) &&
           SameRange(a, b, size_t(checksum + package::kCheckSumSize), size_t(entry)) &&
           SameRange(a, b, size_t(entry + package::kDirectoryEntrySize), size);
}

// Where the bytes after a file's package stop being its signature: the end of a whole
// certificate table that follows the package (at most 7 bytes of alignment padding between), or
// the package's end when there is none.
size_t SignatureEnd(const PackageFile& file) {
    const SignatureState& signature = file.signature;
    if (!signature.IsSigned() || signature.tableOffset < file.packageEnd) return size_t(file.packageEnd);
    if (signature.tableOffset - file.packageEnd >= package::kWinCertificateAlignment) return size_t(file.packageEnd);
    return size_t(signature.table.end);
}

}  // namespace

std::vector<EntryDifference> CompareEntries(const CPackedTools& older, const CPackedTools& newer) {
    std::vector<EntryDifference> differences;
    // Both indexes are ordered alike: one walk over the two, as a merge.
    auto o = older.m_files.begin();
    auto n = newer.m_files.begin();
    const CPackedTools::ByteLess less;
    while (o != older.m_files.end() || n != newer.m_files.end()) {
        if (n == newer.m_files.end() || (o != older.m_files.end() && less(o->first, n->first))) {
            differences.push_back({o->first, EntryChange::kRemoved, &o->second, nullptr});
            ++o;
        } else if (o == older.m_files.end() || less(n->first, o->first)) {
            differences.push_back({n->first, EntryChange::kAdded, nullptr, &n->second});
            ++n;
        } else {
            const EntryChange change = SameContents(o->second, n->second) ? EntryChange::kSame : EntryChange::kChanged;
            differences.push_back({o->first, change, &o->second, &n->second});
            ++o;
            ++n;
        }
    }
    return differences;
}

DiffCounts CountChanges(const std::vector<EntryDifference>& differences) {
    DiffCounts counts;
    for (const EntryDifference& d : differences) {
        switch (d.change) {
            case EntryChange::kSame: ++counts.same; break;
            case EntryChange::kChanged: ++counts.changed; break;
            case EntryChange::kAdded: ++counts.added; break;
            case EntryChange::kRemoved: ++counts.removed; break;
        }
    }
    return counts;
}

void WriteEntryDiff(const std::vector<EntryDifference>& differences, std::ostream& out) {
    for (const EntryDifference& d : differences) {
        switch (d.change) {
            case EntryChange::kSame: break;
            case EntryChange::kChanged:
                out << "changed " << ShownName(d.name) << ": " << d.older->size << " -> " << d.newer->size << " bytes\n";
                break;
            case EntryChange::kAdded: out << "added " << ShownName(d.name) << ": " << d.newer->size << " bytes\n"; break;
            case EntryChange::kRemoved: out << "removed " << ShownName(d.name) << ": " << d.older->size << " bytes\n"; break;
        }
    }
}

BytesDiff CompareBytes(const PackageFile& older, const PackageFile& newer) {
    const uint8_t* a = older.bytes.data();
    const uint8_t* b = newer.bytes.data();
    BytesDiff diff;
    const uint64_t aLength = older.packageEnd - older.packageAt;
    const uint64_t bLength = newer.packageEnd - newer.packageAt;
    diff.packageSame = aLength == bLength && std::memcmp(a + older.packageAt, b + newer.packageAt, size_t(aLength)) == 0;
    if (older.packageAt != newer.packageAt) {
        diff.before = BeforeDiff::kDiffer;
    } else if (std::memcmp(a, b, older.packageAt) != 0) {
        diff.before = SameButSignatureFields(a, b, older.packageAt) ? BeforeDiff::kSignatureFieldsOnly : BeforeDiff::kDiffer;
    }
    const size_t aAfter = older.bytes.size() - size_t(older.packageEnd);
    const size_t bAfter = newer.bytes.size() - size_t(newer.packageEnd);
    diff.afterSame = aAfter == bAfter && std::memcmp(a + older.packageEnd, b + newer.packageEnd, aAfter) == 0;
    const size_t aSignatureEnd = SignatureEnd(older);
    const size_t bSignatureEnd = SignatureEnd(newer);
    const size_t aOther = older.bytes.size() - aSignatureEnd;
    const size_t bOther = newer.bytes.size() - bSignatureEnd;
    diff.afterOutsideSignatureSame = aOther == bOther && std::memcmp(a + aSignatureEnd, b + bSignatureEnd, aOther) == 0;
    diff.anySigned = older.signature.IsSigned() || newer.signature.IsSigned();
    diff.anyBrokenTable = SignatureBroken(older.signature) || SignatureBroken(newer.signature);
    return diff;
}

bool BytesDiff::SignatureOnly() const {
    if (Identical() || !packageSame || before == BeforeDiff::kDiffer || anyBrokenTable) return false;
    // What follows the package is the signature only when a file is signed, and only as far as
    // its certificate table reaches.
    return afterSame || (anySigned && afterOutsideSignatureSame);
}

std::string DiffSummary(const DiffCounts& counts, const BytesDiff& bytes) {
    std::string summary = "entries same " + std::to_string(counts.same) + ", changed " +
                          std::to_string(counts.changed) + ", added " + std::to_string(counts.added) +
                          ", removed " + std::to_string(counts.removed) + "; package bytes " +
                          Verdict(bytes.packageSame) + "; bytes before the package " + BeforeWords(bytes.before) +
                          "; bytes after the package " + Verdict(bytes.afterSame);
    if (counts.Identical() && bytes.SignatureOnly()) summary += "; only the signature differs";
    return summary;
}

int DiffExitCode(const DiffCounts& counts, const BytesDiff& bytes) {
    if (!counts.Identical()) return kExitEntriesDiffer;
    if (bytes.Identical()) return 0;
    return bytes.SignatureOnly() ? kExitOnlySignatureDiffers : kExitBytesDiffer;
}

}  // namespace linkmoor::tools
