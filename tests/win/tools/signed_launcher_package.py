#!/usr/bin/env python3
"""A launcher signed after its package was appended, with the README's osslsigncode command and a
certificate made here, still carries a package that linkmoor-pack.exe verifies, lists and checks
as before signing, and verify and check say that the signature covers it; the signature itself
verifies against that certificate. A launcher signed before appending is refused by append, and a
package put after its signature is reported as not covered.

Usage: signed_launcher_package.py LAUNCHER.EXE MAKE_PACKAGE.PY -- TOOL-COMMAND...
"""

import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from pe_image import security_entry_at  # noqa: E402
from script_checks import check, finish, read, write  # noqa: E402

LAUNCHER, MAKER, TOOL = sys.argv[1], sys.argv[2], sys.argv[4:]
assert sys.argv[3] == "--"
# The description the README's signing command gives.
DESCRIPTION = "Linkmoor Technician Edition - Customer Module"
# A complete package, one entry larger than the reader's 2 MiB buffer.
ENTRIES = ([f"{n}.{a}" for a in ("x86", "amd64", "arm64") for n in ("linkmoor-customer-module-gui.exe",
            "linkmoortechcsrv.exe", "qorvusbd.sys", "qorvpnptls.sys", "libssl.dll")]
           + ["linkmoor-customer-module-gui.dll", "qorvusbd.cat", "qorvusbd.cat.v7", "qorvusbd.inf",
              "openssl-license.txt", "libcrypto.dll.x86", "libcrypto.dll.amd64:gen=2200000,4", "libcrypto.dll.arm64"])


with tempfile.TemporaryDirectory(prefix="pack-signed-") as folder:
    def path(name):
        return os.path.join(folder, name)

    def tool(*args):
        result = subprocess.run(TOOL + list(args), cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL)
        return result.returncode, result.stdout.decode("latin-1").replace("\r\n", "\n")

    subprocess.run([sys.executable, MAKER, path("package.bin"),
                    *[e if ":" in e else f"{e}:text=contents of {e}" for e in ENTRIES]], check=True)
    with open(path("launcher.exe"), "wb") as f:
        f.write(read(LAUNCHER))
    code, output = tool("append", "launcher.exe", "package.bin", "support_101234567890.exe")
    check(code == 0, f"append ({output!r})")

    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Linkmoor test signing", "-keyout", path("key.pem"), "-out", path("cert.pem")],
                   check=True, capture_output=True)
    signing = subprocess.run(["osslsigncode", "sign", "-certs", "cert.pem", "-key", "key.pem", "-n", DESCRIPTION,
                              "-in", "support_101234567890.exe", "-out", "support_101234567890-signed.exe"],
                             cwd=folder, capture_output=True)
    check(signing.returncode == 0, f"the README's signing command succeeds ({signing.stdout[-200:]!r})")
    unsigned, signed = read(path("support_101234567890.exe")), read(path("support_101234567890-signed.exe"))
    check(len(signed) > len(unsigned) and read(path("package.bin")) in signed,
          "the signed file still holds the package bytes, with the signature after them")
    verified = subprocess.run(["osslsigncode", "verify", "-CAfile", "cert.pem", "-in", "support_101234567890-signed.exe"],
                              cwd=folder, capture_output=True)
    check(verified.returncode == 0, f"the signature verifies ({verified.stdout[-200:]!r})")

    # The certificate table starts at the next 8-byte boundary after the package.
    end = len(unsigned)
    covered = (f"support_101234567890-signed.exe: signed: the signature covers the package (it ends at byte {end}, "
               f"the certificate table starts at byte {end + (-end % 8)})\n")
    for command in ("verify", "list", "check"):
        before = tool(command, "support_101234567890.exe")
        after = tool(command, "support_101234567890-signed.exe")
        expected = before[1].replace("101234567890.exe", "101234567890-signed.exe")
        if command == "verify":  # after the verdict
            expected += covered
        elif command == "check":  # before the summary
            lines = expected.splitlines(keepends=True)
            expected = "".join(lines[:-1]) + covered + lines[-1]
        check(after == (0, expected) and before[0] == 0,
              f"{command}: the same result before and after signing, and the signature covers the package "
              f"(exit {after[0]}, {after[1][-200:]!r})")

    # Signing changes only the signature's bytes: the checksum, the certificate table's directory
    # entry, and the table after the package.
    code, output = tool("diff", "support_101234567890.exe", "support_101234567890-signed.exe")
    check(code == 11 and output.endswith("; bytes before the package differ only in the signature fields; bytes after "
                                         "the package differ; only the signature differs\n"),
          f"diff: only the signature differs (exit {code}, {output!r})")

    # A signed file cut at or inside its table, or whose directory points past its end, carries no
    # signature osslsigncode accepts: never "signed", exit 12; bytes added after the table are no
    # signature either, for diff.
    table_at = end + (-end % 8)
    broken = "the package is valid, but the signature is not whole: "
    moved = bytearray(signed)
    struct.pack_into("<I", moved, security_entry_at(moved), len(signed) + 1000)
    variants = [
        ("at-table.exe", signed[:table_at],
         f"certificate table should start at byte {table_at}, where the file ends: none of it is left"),
        ("in-table.exe", signed[:table_at + 100],
         f"certificate table runs from byte {table_at} to byte {len(signed)}, beyond byte {table_at + 100}"),
        ("outside.exe", bytes(moved),
         f"certificate directory points at byte {len(signed) + 1000}, beyond byte {len(signed)}, where the file ends"),
    ]
    for name, data, reason in variants:
        write(path(name), data)
        refused = subprocess.run(["osslsigncode", "verify", "-CAfile", "cert.pem", "-in", name], cwd=folder,
                                 capture_output=True)
        for command in ("verify", "check"):
            code, output = tool(command, name)
            check(code == 12 and f"{name}: {broken}the {reason}" in output and "signed:" not in output
                  and refused.returncode != 0,
                  f"{command} {name}: exit 12, the table named as it is ({output[-300:]!r})")
        code, output = tool("diff", "support_101234567890-signed.exe", name)
        check(code == 10, f"diff to {name}: more than the signature differs (exit {code})")
    write(path("extra.exe"), signed + bytes(7))
    code, output = tool("diff", "support_101234567890-signed.exe", "extra.exe")
    check(code == 10 and "only the signature" not in output, f"diff: 7 bytes after the table (exit {code})")

    # Signed first, the package appended after the signature: not covered, refused.
    subprocess.run(["osslsigncode", "sign", "-certs", "cert.pem", "-key", "key.pem", "-n", DESCRIPTION,
                    "-in", "launcher.exe", "-out", "bare-signed.exe"], cwd=folder, check=True, capture_output=True)
    code, output = tool("append", "bare-signed.exe", "package.bin", "late.exe")
    check(code == 1 and "is signed" in output and not os.path.exists(path("late.exe")),
          f"append refuses a signed launcher ({output!r})")
    bare = read(path("bare-signed.exe"))
    write(path("late.exe"), bare + read(path("package.bin")))
    code, output = tool("verify", "late.exe")
    check(code == 1 and output.startswith(f"late.exe: no package, or the package is damaged: the package is not "
                                          f"covered by the signature: it ends at byte "
                                          f"{len(bare) + len(read(path('package.bin')))}, the certificate table starts"),
          f"verify: a package after the signature is not covered ({output!r})")

sys.exit(finish())
