// The steps of the reader's load, each with the words for its failure.

#include "tools/model/package_diagnosis.h"

#include "package/package_format.h"
#include "package/packed_tools.h"
#include "tools/files/utf8.h"
#include "tools/model/signature_report.h"

namespace linkmoor::tools {

namespace {

using namespace package;

// "entry 'NAME' (record 3 of 26)"
std::string EntryWords(const EntryRecord& record, uint32_t index, uint32_t count) {
    return "entry '" + ShownName(std::string(reinterpret_cast<const char*>(record.name), record.nameLength)) +
           "' (record " +
           std::to_string(index + 1) + " of " + std::to_string(count) + ")";
}

std::string WhyBodyRefused(const uint8_t* header, size_t available, CPackedTools& inflater) {
    if (ExtentOf(header, available) == PackageExtent::kHeaderCut)
        return "the package is cut short: its header needs " + std::to_string(kHeaderSize) +
               " bytes, the file holds " + std::to_string(available) + " from where it starts";
    const uint32_t bodyLength = ReadLe32(header + kBodyLengthOffset);
    const uint32_t count = ReadLe32(header + kEntryCountOffset);
    if (ExtentOf(header, available) == PackageExtent::kBodyCut)
        return "the package is cut short: its header counts " + std::to_string(bodyLength) +
               " bytes of body, the file holds " + std::to_string(available - kHeaderSize) +
               " after the header (an incomplete download or copy?)";
    const uint8_t* body = header + kHeaderSize;
    if (!DigestMatches(body, bodyLength, header + kBodyDigestOffset))
        return "the body digest is wrong: bytes of the package were changed after it was written";
    size_t offset = 0;
    for (uint32_t i = 0; i < count; ++i) {
        EntryRecord record;
        if (!ReadEntryRecord(body, bodyLength, offset, record))
            return "record " + std::to_string(i + 1) + " of " + std::to_string(count) +
                   " runs past the end of the body (the header counts more entries than the body holds)";
        std::string contents;
        inflater.Inflate(contents, record.stream, record.compressedLength);
        if (contents.empty())
            return EntryWords(record, i, count) +
                   ": its data does not inflate to a complete, non-empty zlib stream";
        if (!DigestMatches(reinterpret_cast<const uint8_t*>(contents.data()), contents.size(), record.digest))
            return EntryWords(record, i, count) + ": the MD5 digest of its contents is wrong";
        offset = record.next;
    }
    return "the launcher's reader refuses it";
}

}  // namespace

std::string WhyDamaged(const std::vector<uint8_t>& file, CPackedTools& inflater) {
    if (file.empty()) return "the file is empty";
    const size_t headerAt = FindHeader(file.data(), file.size());
    if (headerAt == kNotFound) return "no package header anywhere in the file";
    const SignatureState signature = SignatureStateOf(file);
    if (signature.IsSigned() && !signature.covered) return NotCoveredText(signature);
    return WhyBodyRefused(file.data() + headerAt, file.size() - headerAt, inflater);
}

}  // namespace linkmoor::tools
