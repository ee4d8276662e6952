// Fuzz target: the package reader on arbitrary file bytes. Besides the sanitizers' findings it
// stops on any broken promise of the reader: a failed load leaves an empty index, a good one
// holds only non-empty entries that GetFile hands out by their own names.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "package/certificate_table.h"
#include "package/md5.h"
#include "package/package_format.h"
#include "package/packed_tools.h"

namespace {

using namespace linkmoor;

// Random changes almost always break the body digest, which would hide everything behind it.
// For inputs whose last byte is odd the digest is written anew, so the entry records, the
// inflating and the entry digests get fuzzed too.
void ResealBody(std::vector<uint8_t>& file) {
    const size_t at = package::FindHeader(file.data(), file.size());
    if (at == package::kNotFound || file.size() - at < package::kHeaderSize) {
        return;
    }
    uint8_t* header = file.data() + at;
    const uint32_t bodyLength = package::ReadLe32(header + package::kBodyLengthOffset);
    if (bodyLength > file.size() - at - package::kHeaderSize) {
        return;
    }
    const Md5Digest digest = CMd5::Of(header + package::kHeaderSize, bodyLength);
    std::memcpy(header + package::kBodyDigestOffset, digest.data(), digest.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CPackedTools reader;  // one 2 MiB output buffer for the whole run, as in the product
    if (size > UINT32_MAX) {
        return 0;
    }
    std::vector<uint8_t> file(data, data + size);
    if (size != 0 && (data[size - 1] & 1)) {
        ResealBody(file);
    }
    // The certificate table's entries are read from the file's own bytes: a table called whole
    // lies within the file.
    const package::CertificateTable table = package::FindCertificateTable(file.data(), file.size());
    const package::TableCheck shape = package::CheckCertificateTable(file.data(), file.size(), table);
    if (shape.shape == package::TableShape::kWhole && (shape.end > file.size() || table.offset >= file.size())) {
        __builtin_trap();
    }
    const int verifyOnly = size % 3 == 0 ? 1 : 0;
    const int result = reader.LoadBytes(file.data(), uint32_t(file.size()), verifyOnly);
    if ((result == 1) != (reader.m_status == kPackageOk)) {
        __builtin_trap();
    }
    if ((result == 0 || verifyOnly) && !reader.m_files.empty()) {
        __builtin_trap();
    }
    for (const auto& entry : reader.m_files) {
        const uint8_t* got = nullptr;
        uint32_t gotSize = 0;
        if (entry.second.size == 0 || !reader.GetFile(entry.first.c_str(), &got, &gotSize)) {
            // A name with a NUL byte cannot be asked for; all others must be found.
            if (entry.second.size == 0 || entry.first.find('\0') == std::string::npos) {
                __builtin_trap();
            }
            continue;
        }
        if (entry.first.find('\0') == std::string::npos &&
            (got != entry.second.data.get() || gotSize != entry.second.size)) {
            __builtin_trap();
        }
    }
    reader.Clear();
    return 0;
}
