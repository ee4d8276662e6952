#!/usr/bin/env python3
"""Runs linkmoor-pack on a table of files and commands and checks each verdict or refusal: the
exit code and the line that says why.

The same table holds for the Linux build and for the Windows build under Wine, so both report a
file the same way. Packages come from the independent Python package maker, launcher images from
tests/support/pe_image.py. The tool runs in the files' folder with relative paths; standard output
and standard error are read together (Wine's runner joins them).

Usage: verify_verdicts.py --maker make_package.py -- TOOL-COMMAND...
"""

import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from pe_image import PE32_PLUS, certificate_entry, launcher_image, security_entry_at, sign_image  # noqa: E402
from script_checks import check, finish, maker_and_tool, read, write  # noqa: E402

VALID = "package valid"
DAMAGED = "no package, or the package is damaged: "
NOT_LAUNCHER = ("the package is valid, but what stands before it is no complete 32-bit Windows executable: ")
NO_START = "; no machine can start this file"
LONG = "is 256 UTF-16 units long; Windows takes at most 255 in a file name"
BROKEN = "the package is valid, but the signature is not whole: "
CHECK_FAILS = "; a signature check fails on this file"
NOT_MZ = "it does not start with 'MZ', as every Windows executable does"
IMAGE = launcher_image(0x3000)
IMAGE64 = launcher_image(0x3000, magic=PE32_PLUS)  # the launcher's 64-bit test build


def make_files(maker, folder):
    def path(name):
        return os.path.join(folder, name)

    entries = ["big.dll:gen=2500000,7", "license.txt:text=Licence text", "small.sys:gen=1000,3"]
    subprocess.run([sys.executable, maker, path("valid.pkg"), "--key", "0x5a", *entries], check=True)
    package = read(path("valid.pkg"))
    write(path("launcher.exe"), IMAGE)
    write(path("launcher64.exe"), IMAGE64)
    write(path("with64.exe"), IMAGE64 + package)
    write(path("signed64.exe"), sign_image(IMAGE64 + package, certificate_entry(b"\x30" * 1500)))
    signed = sign_image(IMAGE + package, certificate_entry(b"\x30" * 1500))
    table_at = len(IMAGE + package)
    write(path("cut-at-table.exe"), signed[:table_at])
    write(path("cut-in-table.exe"), signed[:table_at + 700])
    outside = bytearray(signed)
    struct.pack_into("<I", outside, security_entry_at(outside), len(signed) + 1000)
    write(path("points-outside.exe"), bytes(outside))
    write(path("malformed.exe"), sign_image(IMAGE + package, certificate_entry(b"\x30" * 64, revision=0x0300)))
    write(path("arm64.exe"), launcher_image(0x3000, machine=0xAA64, magic=PE32_PLUS) + package)
    write(path("with.exe"), IMAGE + package)
    write(path("text.txt"), b"#!/bin/sh\necho no program\n")
    write(path("text.exe"), read(path("text.txt")) + package)
    write(path("cut.exe"), IMAGE[:8192] + package)  # .rdata cut short
    write(path("download.exe"), (IMAGE + package)[:-1000])
    flipped = bytearray(IMAGE + package)
    flipped[-100] ^= 0x01
    write(path("flipped.exe"), bytes(flipped))
    subprocess.run([sys.executable, maker, path("long.pkg"), "--key", "7", "n" * 256 + ":text=x", "a:text=y"],
                   check=True)
    write(path("empty.bin"), b"")
    write(path("a"), b"contents a")
    write(path("b"), b"contents b")
    return len(package) - 88  # the body length


def cases(body):
    image_end = len(IMAGE) + 88 + body  # where a signature's table starts
    # command, exit code, the line (a line starting "~" need only start with the rest)
    return [
        (["verify", "valid.pkg"], 0, f"valid.pkg: {VALID}"),
        (["verify", "with.exe"], 0, f"with.exe: {VALID}"),
        (["verify", "with.exe"], 0, "with.exe: launcher built for x86"),
        (["verify", "with64.exe"], 0, "with64.exe: launcher built for x64"),
        (["append", "launcher64.exe", "valid.pkg", "out64.exe"], 0, "out64.exe: launcher built for x64"),
        (["check", "out64.exe"], 5, "out64.exe: launcher built for x64"),
        (["verify", "signed64.exe"], 0,
         f"signed64.exe: signed: the signature covers the package (it ends at byte {len(IMAGE64) + body + 88}, "
         f"the certificate table starts at byte {len(IMAGE64) + body + 88})"),
        (["diff", "with64.exe", "signed64.exe"], 11,
         "with64.exe -> signed64.exe: entries same 3, changed 0, added 0, removed 0; package bytes identical; bytes "
         "before the package differ only in the signature fields; bytes after the package differ; only the "
         "signature differs"),
        (["verify", "arm64.exe"], 8,
         f"arm64.exe: {NOT_LAUNCHER.replace('32-bit', '64-bit')}it is built for ARM64, not for x64{NO_START}"),
        (["verify", "cut-at-table.exe"], 12,
         f"cut-at-table.exe: {BROKEN}the certificate table should start at byte {image_end}, where the file ends: "
         f"none of it is left (a signed file cut short?){CHECK_FAILS}"),
        (["check", "cut-in-table.exe"], 12,
         f"cut-in-table.exe: {BROKEN}the certificate table runs from byte {image_end} to byte {image_end + 1512}, "
         f"beyond byte {image_end + 700}, where the file ends (a signed file cut short?){CHECK_FAILS}"),
        (["verify", "points-outside.exe"], 12,
         f"points-outside.exe: {BROKEN}the certificate directory points at byte {image_end + 1512 + 1000}, beyond "
         f"byte {image_end + 1512}, where the file ends{CHECK_FAILS}"),
        (["verify", "malformed.exe"], 12,
         f"malformed.exe: {BROKEN}the certificate table's entry at byte {image_end} is no well-formed WIN_CERTIFICATE "
         f"(length 72, revision 0x0300, type 2) within the table, which ends at byte {image_end + 72}{CHECK_FAILS}"),
        (["verify", "text.exe"], 8, f"text.exe: {NOT_LAUNCHER}{NOT_MZ}{NO_START}"),
        (["append", "text.txt", "valid.pkg", "out.exe"], 1,
         f"linkmoor-pack: 'text.txt' is no complete 32-bit Windows executable: {NOT_MZ}"),
        (["verify", "cut.exe"], 8,
         f"cut.exe: {NOT_LAUNCHER}its section '.rdata' holds raw data up to byte {len(IMAGE)}, beyond byte 8192, "
         f"where the package starts: the executable is cut short{NO_START}"),
        (["check", "valid.pkg"], 9,
         "valid.pkg: check failed: a package without a launcher, which no machine can start; appended to the "
         "launcher: 6 of 6 machines would stop (errors 6, warnings 0, unused 3)"),
        # A name no Windows folder holds, in a package made elsewhere.
        (["check", "long.pkg"], 9, f"long.pkg: warning: entry name '{'n' * 256}' {LONG}: extract refuses this package"),
        (["extract", "long.pkg", "out"], 1, f"linkmoor-pack: entry name '{'n' * 256}' {LONG}: nothing extracted"),
        (["verify", "launcher.exe"], 1, f"launcher.exe: {DAMAGED}no package header anywhere in the file"),
        (["verify", "download.exe"], 1,
         f"download.exe: {DAMAGED}the package is cut short: its header counts {body} bytes of body, the file holds "
         f"{body - 1000} after the header (an incomplete download or copy?)"),
        (["verify", "flipped.exe"], 1,
         f"flipped.exe: {DAMAGED}the body digest is wrong: bytes of the package were changed after it was written"),
        (["verify", "empty.bin"], 1, f"empty.bin: {DAMAGED}the file is empty"),
        (["verify", "missing.pkg"], 2, "~missing.pkg: the file cannot be read: "),
        (["create", "out.pkg", "a=Foo.dll", "b=foo.dll"], 1,
         "linkmoor-pack: entry names 'Foo.dll' (on the command line) and 'foo.dll' differ only in letter case: "
         "Windows would make them one file"),
        (["create", "--force", "a", "b"], 1,
         "linkmoor-pack: 'a' exists and is no package and no launcher with a package; --force replaces only those"),
    ]


def main():
    args = maker_and_tool()

    with tempfile.TemporaryDirectory(prefix="pack-verdicts-") as folder:
        body = make_files(args.maker, folder)
        for command, code, line in cases(body):
            before = {n: read(os.path.join(folder, n)) for n in os.listdir(folder)}
            run = subprocess.run(args.tool + command, cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                 stdin=subprocess.DEVNULL)
            lines = run.stdout.decode("utf-8", "replace").replace("\r\n", "\n").splitlines()
            shown = " ".join(command)
            said = any(l.startswith(line[1:]) for l in lines) if line.startswith("~") else line in lines
            check(run.returncode == code and said, f"{shown}: exit {run.returncode} (want {code}), {lines[-3:]}")
            if code != 0:
                after = {n: read(os.path.join(folder, n)) for n in os.listdir(folder)}
                check(after == before, f"{shown}: no file written or changed")
    return finish()


if __name__ == "__main__":
    sys.exit(main())
