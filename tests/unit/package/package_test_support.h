#pragma once
// Helpers the package tests share: the generated contents the Python maker also produces, whole
// files, and re-sealing a package after a test has changed its body on purpose.

#include <cstdint>
#include <string>
#include <vector>

namespace linkmoor::test {

using Bytes = std::vector<uint8_t>;

// The maker's NAME:gen=SIZE,SEED contents: a 65536-byte xorshift32 block (low byte of the state
// after each step), byte i = block[i % 65536] XOR ((i >> 16) & 0xFF).
Bytes GeneratedContents(size_t size, uint32_t seed);

Bytes ReadWholeFile(const std::string& path);

// Path of a package made at build time by the Python maker.
std::string MadePackage(const char* file);

Bytes ToBytes(const std::string& text);

// Writes a fresh body digest into the header at `headerAt`, so that a deliberate change inside
// the body reaches the checks behind the digest.
void ResealBody(Bytes& package, size_t headerAt = 0);

// Writes a 32-bit little-endian value at `offset`.
void PutLe32(Bytes& bytes, size_t offset, uint32_t value);

// The headers of a Windows executable, byte by byte: a DOS header pointing at the PE signature
// at kPeAt, a COFF header and an optional header with its data directories, zero-filled to
// kPeImageSize bytes. The security directory names the certificate table of a signed file.
inline constexpr size_t kPeAt = 0x80;
inline constexpr size_t kPeImageSize = 0x400;
struct PeShape {
    bool plus = false;          // PE32+ instead of PE32
    uint32_t directories = 16;  // NumberOfRvaAndSizes
    uint16_t optionalSize = 0;  // 0: the standard size for the kind
    uint32_t tableOffset = 0;
    uint32_t tableSize = 0;
};
Bytes PeImage(const PeShape& shape);

// Names the certificate table at `offset`, `size` bytes long, in the security directory of an
// image with PeImage's headers, as signing does.
void PutCertificateTable(Bytes& image, uint32_t offset, uint32_t size, bool plus = false);

// A certificate table of `size` bytes (a multiple of 8) as signing writes it: one WIN_CERTIFICATE
// (revision 2.0, PKCS#7 signed data) whose certificate bytes are all 0xA5.
Bytes CertificateTableBytes(uint32_t size);

// A complete Windows executable as the package tool wants it in front of a package: the
// headers of PeImage for an i386 executable image (with `plus`, a PE32+ image for AMD64), one section whose `rawSize` bytes of raw data
// follow the headers, and the package's magic text in that data (as the launcher's constant data
// holds it), without a valid check field.
Bytes LauncherImage(size_t rawSize = 0x2000, bool plus = false);

}  // namespace linkmoor::test
