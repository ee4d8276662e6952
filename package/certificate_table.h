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

// What the bytes of a named certificate table are. A signature check reads the table as
// WIN_CERTIFICATE entries back to back (each 8-byte aligned): dwLength (its header included),
// wRevision, wCertificateType, then the certificate; a file cut short or a directory that points
// elsewhere leaves no signature to check, whatever the headers say.
enum class TableShape {
    kNone,         // no table named
    kWhole,        // within the file, every entry well-formed and within the table
    kCutShort,     // it starts at or before the end of the file but runs past it
    kOutsideFile,  // it starts beyond the end of the file
    kMalformed,    // within the file, but an entry's header is not one a signature has
};

inline constexpr size_t kWinCertificateHeaderSize = 8;
inline constexpr uint64_t kWinCertificateAlignment = 8;  // the table and each entry in it start on it
inline constexpr uint16_t kWinCertificateRevision1 = 0x0100;
inline constexpr uint16_t kWinCertificateRevision2 = 0x0200;
inline constexpr uint16_t kWinCertificateTypeFirst = 0x0001;  // X.509
inline constexpr uint16_t kWinCertificateTypeLast = 0x0004;   // a stack of signed timestamps

struct TableCheck {
    TableShape shape = TableShape::kNone;
    uint64_t end = 0;          // offset + size of the table
    uint64_t entryAt = 0;      // kMalformed: the entry that is not well-formed
    uint32_t entryLength = 0;  // and its header's fields
    uint16_t revision = 0;
    uint16_t type = 0;
};

TableCheck CheckCertificateTable(const uint8_t* file, size_t size, const CertificateTable& table);

// Offset just past the package whose header starts at `headerAt` (its body included), or 0 when
// the header does not fit in the file.
uint64_t PackageEnd(const uint8_t* file, size_t size, size_t headerAt);

// True when the package at `headerAt` lies wholly before the file's certificate table, and for
// every file without one. A header that does not fit is left to the reader to refuse.
bool SignatureCoversPackage(const uint8_t* file, size_t size, size_t headerAt);

}  // namespace linkmoor::package
