// Where a signed file's certificate table lies against its package, and the words for it.

#include "tools/model/signature_report.h"

#include <cstdio>

#include "package/certificate_table.h"
#include "package/package_format.h"

namespace linkmoor::tools {

namespace {

std::string Where(const SignatureState& state) {
    return "it ends at byte " + std::to_string(state.packageEnd) +
           ", the certificate table starts at byte " + std::to_string(state.tableOffset);
}

}  // namespace

SignatureState SignatureStateOf(const std::vector<uint8_t>& file) {
    SignatureState state;
    const package::CertificateTable table = package::FindCertificateTable(file.data(), file.size());
    state.table = package::CheckCertificateTable(file.data(), file.size(), table);
    state.tableOffset = table.offset;
    const size_t headerAt = package::FindHeader(file.data(), file.size());
    state.packageEnd =
        headerAt == package::kNotFound ? 0 : package::PackageEnd(file.data(), file.size(), headerAt);
    state.hasPackage = state.packageEnd != 0;
    // The reader's own rule: any table the headers name must start after the package.
    state.covered = !state.Named() || !state.hasPackage || state.packageEnd <= state.tableOffset;
    return state;
}

bool SignatureBroken(const SignatureState& state) { return state.Named() && !state.IsSigned(); }

std::string BrokenSignatureText(const SignatureState& state, uint64_t fileSize) {
    const std::string start = std::to_string(state.tableOffset);
    const std::string fileEnd = ", where the file ends";
    const package::TableCheck& table = state.table;
    switch (table.shape) {
        case package::TableShape::kOutsideFile:
            return "the certificate directory points at byte " + start + ", beyond byte " + std::to_string(fileSize) +
                   fileEnd;
        case package::TableShape::kCutShort:
            if (state.tableOffset == fileSize)
                return "the certificate table should start at byte " + start + fileEnd +
                       ": none of it is left (a signed file cut short?)";
            return "the certificate table runs from byte " + start + " to byte " + std::to_string(table.end) +
                   ", beyond byte " + std::to_string(fileSize) + fileEnd + " (a signed file cut short?)";
        case package::TableShape::kMalformed: {
            char fields[64];
            std::snprintf(fields, sizeof(fields), "length %u, revision 0x%04X, type %u", unsigned(table.entryLength),
                          unsigned(table.revision), unsigned(table.type));
            return "the certificate table's entry at byte " + std::to_string(table.entryAt) +
                   " is no well-formed WIN_CERTIFICATE (" + fields + ") within the table, which ends at byte " +
                   std::to_string(table.end);
        }
        case package::TableShape::kNone:
        case package::TableShape::kWhole: break;
    }
    return {};
}

const char* TableShapeKey(package::TableShape shape) {
    switch (shape) {
        case package::TableShape::kNone: return "none";
        case package::TableShape::kWhole: return "whole";
        case package::TableShape::kCutShort: return "cut_short";
        case package::TableShape::kOutsideFile: return "outside_file";
        case package::TableShape::kMalformed: break;
    }
    return "malformed";
}

std::string CoveredText(const SignatureState& state) {
    return "signed: the signature covers the package (" + Where(state) + ")";
}

std::string NotCoveredText(const SignatureState& state) {
    return "the package is not covered by the signature: " + Where(state) +
           "; the launcher refuses it as damaged (append the package to the unsigned launcher, "
           "then sign)";
}

}  // namespace linkmoor::tools
