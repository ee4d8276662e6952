#pragma once
// What the package tool says about a signed file: whether the Authenticode signature covers the
// package. A package that lies in or after the certificate table is not covered; the launcher
// refuses it as damaged, while Windows still shows the file as signed. A table is taken for a
// signature only when its bytes are there and well-formed; the tool checks where the signature
// lies, not whether it is valid.

#include <cstdint>
#include <string>
#include <vector>

#include "package/certificate_table.h"

namespace linkmoor::tools {

struct SignatureState {
    package::TableCheck table;  // what the named table's bytes are (kNone: the headers name none)
    bool hasPackage = false;  // a package header was found
    bool covered = true;      // the package lies wholly before the named table
    uint64_t packageEnd = 0;
    uint32_t tableOffset = 0;

    // The headers name a certificate table.
    bool Named() const { return table.shape != package::TableShape::kNone; }
    // The file carries a whole, well-formed certificate table.
    bool IsSigned() const { return table.shape == package::TableShape::kWhole; }
};

SignatureState SignatureStateOf(const std::vector<uint8_t>& file);

// True when the headers name a certificate table that is cut short, lies outside the file or is
// no well-formed table: no signature check can pass.
bool SignatureBroken(const SignatureState& state);

// What is wrong with a broken table, such as "the certificate table runs from byte T to byte E,
// beyond byte S, where the file ends (a signed file cut short?)".
std::string BrokenSignatureText(const SignatureState& state, uint64_t fileSize);

// The JSON key of the table's shape: "none", "whole", "cut_short", "outside_file", "malformed".
const char* TableShapeKey(package::TableShape shape);

// "signed: the signature covers the package (it ends at byte E, the certificate table starts at
// byte T)"
std::string CoveredText(const SignatureState& state);
// "the package is not covered by the signature: it ends at byte E, the certificate table starts
// at byte T; the launcher refuses it as damaged (append the package to the unsigned launcher,
// then sign)"
std::string NotCoveredText(const SignatureState& state);

}  // namespace linkmoor::tools
