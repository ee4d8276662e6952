#pragma once
// The Authenticode certificate table of a signed Windows executable, found through the security
// directory of the PE headers at the start of the file. Windows shows a file that carries one as
// signed; the signature covers the bytes before the table (all but the header checksum and the
// directory entry itself), not what lies inside the table or after it. A package is covered only
// when it lies wholly before the table.

#include <cstddef>
#include <cstdint>

namespace linkmoor::package {

struct CertificateTable {
    bool present = false;
    uint32_t offset = 0;  // file offset of the table
    uint32_t size = 0;
};

// The table named by the security directory of the PE image that starts the file; not present
// for a file that is no PE image, whose headers are cut short, or whose directory is empty.
CertificateTable FindCertificateTable(const uint8_t* file, size_t size);

// Offset just past the package whose header starts at `headerAt` (its body included), or 0 when
// the header does not fit in the file.
uint64_t PackageEnd(const uint8_t* file, size_t size, size_t headerAt);

// True when the package at `headerAt` lies wholly before the file's certificate table, and for
// every file without one. A header that does not fit is left to the reader to refuse.
bool SignatureCoversPackage(const uint8_t* file, size_t size, size_t headerAt);

}  // namespace linkmoor::package
