#pragma once
// What the package tool says about a signed file: whether the Authenticode signature covers the
// package. A package that lies in or after the certificate table is not covered; the launcher
// refuses it as damaged, while Windows still shows the file as signed.

#include <cstdint>
#include <string>
#include <vector>

namespace linkmoor::tools {

struct SignatureState {
    bool isSigned = false;    // the file carries a certificate table
    bool hasPackage = false;  // a package header was found
    bool covered = true;      // the package lies wholly before the table
    uint64_t packageEnd = 0;
    uint32_t tableOffset = 0;
};

SignatureState SignatureStateOf(const std::vector<uint8_t>& file);

// "signed: the signature covers the package (it ends at byte E, the certificate table starts at
// byte T)"
std::string CoveredText(const SignatureState& state);
// "the package is not covered by the signature: it ends at byte E, the certificate table starts
// at byte T; the launcher refuses it as damaged (append the package to the unsigned launcher,
// then sign)"
std::string NotCoveredText(const SignatureState& state);

}  // namespace linkmoor::tools
