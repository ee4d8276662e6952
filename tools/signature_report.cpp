#include "tools/signature_report.h"

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
    state.isSigned = table.present;
    state.tableOffset = table.offset;
    const size_t headerAt = package::FindHeader(file.data(), file.size());
    state.packageEnd =
        headerAt == package::kNotFound ? 0 : package::PackageEnd(file.data(), file.size(), headerAt);
    state.hasPackage = state.packageEnd != 0;
    state.covered = !state.isSigned || !state.hasPackage || state.packageEnd <= state.tableOffset;
    return state;
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
