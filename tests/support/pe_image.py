"""Windows executable images for the package tool's tests, made byte by byte: a DOS header, the
PE signature, a COFF header (i386, an executable image), a PE32 optional header with 16 data
directories, and sections whose raw data follows the headers. Like the launcher, the image holds
the package's magic text in its constant data, without a valid check field after it.

launcher_image(size)  a complete 32-bit image of about `size` bytes (one .text and one .rdata
                      section, raw data filling the file); magic=PE32_PLUS gives the 64-bit
                      (PE32+, AMD64) image of the launcher's test build
sign_image(image, table)  the image followed by `table` as its certificate table, named in the
                      security directory as signing does
certificate_entry(blob)  one WIN_CERTIFICATE entry (revision 2.0, PKCS#7) holding `blob`
"""

import struct

from make_package import MAGIC
PE_AT = 0x80
HEADERS_SIZE = 0x400
FILE_ALIGNMENT = 0x200


PE32 = 0x10B
PE32_PLUS = 0x20B
MACHINES = {PE32: 0x14C, PE32_PLUS: 0x8664}


def optional_header_at(image):
    return struct.unpack_from("<I", image, 0x3C)[0] + 24


def security_entry_at(image):
    """Offset of the security directory's entry: data directory 4 of the optional header."""
    optional = optional_header_at(image)
    magic = struct.unpack_from("<H", image, optional)[0]
    return optional + (96 if magic == PE32 else 112) + 4 * 8


def certificate_entry(blob, revision=0x0200, kind=0x0002):
    """A WIN_CERTIFICATE: dwLength (header included), wRevision, wCertificateType, the blob,
    padded to 8 bytes."""
    entry = struct.pack("<IHH", 8 + len(blob), revision, kind) + blob
    return entry + b"\0" * (-len(entry) % 8)


def sign_image(image, table):
    signed = bytearray(image)
    struct.pack_into("<II", signed, security_entry_at(signed), len(signed), len(table))
    return bytes(signed) + table


def launcher_image(size=0x3000, machine=None, magic=PE32, characteristics=0x0102):
    machine = MACHINES.get(magic, 0x14C) if machine is None else machine
    raw = max(FILE_ALIGNMENT, (size - HEADERS_SIZE) // FILE_ALIGNMENT * FILE_ALIGNMENT)
    text_size = raw // 2 // FILE_ALIGNMENT * FILE_ALIGNMENT or FILE_ALIGNMENT
    sections = [(b".text", HEADERS_SIZE, text_size), (b".rdata", HEADERS_SIZE + text_size, raw - text_size)]
    sections = [s for s in sections if s[2] > 0]
    optional_size = 224 if magic == 0x10B else 240
    image = bytearray(HEADERS_SIZE)
    image[0:2] = b"MZ"
    struct.pack_into("<I", image, 0x3C, PE_AT)
    image[PE_AT:PE_AT + 4] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", image, PE_AT + 4, machine, len(sections), 0, 0, 0, optional_size, characteristics)
    optional = PE_AT + 24
    struct.pack_into("<H", image, optional, magic)
    struct.pack_into("<II", image, optional + 32, 0x1000, FILE_ALIGNMENT)  # section and file alignment
    struct.pack_into("<I", image, optional + 60, HEADERS_SIZE)             # SizeOfHeaders
    struct.pack_into("<H", image, optional + 68, 2)                        # Subsystem: GUI
    struct.pack_into("<I", image, optional + (92 if magic == 0x10B else 108), 16)
    table = optional + optional_size
    for i, (name, at, length) in enumerate(sections):
        struct.pack_into("<8sIIII", image, table + 40 * i, name, length, 0x1000 * (i + 1), length, at)
    body = bytearray((bytes(range(256)) * (raw // 256 + 1))[:raw])
    body[100:100 + len(MAGIC)] = MAGIC  # the reader's own constant, as in the launcher
    return bytes(image + body)
