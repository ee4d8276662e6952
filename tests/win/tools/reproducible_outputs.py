#!/usr/bin/env python3
"""The same inputs give the same bytes: packages, launchers with their package, and the launcher
executable itself.

- `create` run twice on the same files (default key byte) gives identical packages, equal to the
  independent Python maker's package with the documented default key byte; so the Linux and the
  Windows build, which both run this script, write the same bytes.
- `append` run twice gives identical files.
- With --launcher and --relinked (the Windows tree): the launcher and a second executable built
  from the same sources and libraries are identical; the PE header, the resource directory and
  any debug directory carry no time stamp, and the file holds no path of the source or build tree.

Usage: reproducible_outputs.py --maker make_package.py [--launcher EXE --relinked EXE
       --paths DIR...] -- TOOL-COMMAND...
"""

import argparse
import hashlib
import os
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from pe_image import launcher_image  # noqa: E402
from script_checks import check, finish, read, write  # noqa: E402


def default_key(entries):
    """The key byte linkmoor-pack takes without --key: the first byte of an MD5 over, per entry,
    name length and contents length (32-bit little-endian), name, contents."""
    md5 = hashlib.md5()
    for name, data in entries:
        md5.update(struct.pack("<II", len(name), len(data)) + name.encode() + data)
    return md5.digest()[0]


def check_tool(tool, maker, folder):
    def run(*args):
        return subprocess.run(tool + list(args), cwd=folder, capture_output=True, stdin=subprocess.DEVNULL)

    # Larger than the reader's 2 MiB buffer, compressible like program code.
    code = b"".join(hashlib.sha256(str(i % 977).encode()).digest()[: 1 + i % 23] for i in range(160000))
    entries = [("linkmoor-customer-module-gui.dll", code), ("qorvusbd.inf", b"[Version]\r\nSignature=x\r\n"),
               ("openssl-license.txt", b"licence " * 900)]
    for i, (name, data) in enumerate(entries):
        write(os.path.join(folder, f"in{i}"), data)
    operands = [f"in{i}={name}" for i, (name, _) in enumerate(entries)]
    for out in ("one.pkg", "two.pkg"):
        created = run("create", out, *operands)
        check(created.returncode == 0, f"create {out} ({created.stdout!r})")
    one = read(os.path.join(folder, "one.pkg"))
    check(one == read(os.path.join(folder, "two.pkg")), "create twice: identical packages")

    subprocess.run([sys.executable, maker, os.path.join(folder, "ref.pkg"), "--key", str(default_key(entries)),
                    *[f"{name}={os.path.join(folder, f'in{i}')}" for i, (name, _) in enumerate(entries)]],
                   check=True)
    check(one == read(os.path.join(folder, "ref.pkg")),
          "the package is the independent maker's, with the documented default key byte")
    return run


def check_append(run, folder, exe):
    for out in ("one.exe", "two.exe"):
        appended = run("append", exe, "one.pkg", out)
        check(appended.returncode == 0, f"append {out} ({appended.stdout!r})")
    one = read(os.path.join(folder, "one.exe"))
    check(one == read(os.path.join(folder, "two.exe")), "append twice: identical launchers")
    check(one == read(os.path.join(folder, exe)) + read(os.path.join(folder, "one.pkg")),
          "the launcher is the executable, then the package")


def pe_time_stamps(image):
    """(where, value) of every time stamp field of a PE image: the file header, the resource
    directory and each debug directory entry."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    assert image[pe:pe + 4] == b"PE\0\0"
    sections, optional_size = struct.unpack_from("<H", image, pe + 6)[0], struct.unpack_from("<H", image, pe + 20)[0]
    stamps = [("file header", struct.unpack_from("<I", image, pe + 8)[0])]
    optional = pe + 24
    directories = optional + (96 if struct.unpack_from("<H", image, optional)[0] == 0x10B else 112)
    table = optional + optional_size

    def offset_of(rva):
        for i in range(sections):
            size, address, _, raw = struct.unpack_from("<IIII", image, table + 40 * i + 8)
            if address <= rva < address + size:
                return raw + rva - address
        raise ValueError(f"rva {rva:#x} in no section")

    resource_rva, resource_size = struct.unpack_from("<II", image, directories + 8 * 2)
    if resource_size:
        stamps.append(("resource directory", struct.unpack_from("<I", image, offset_of(resource_rva) + 4)[0]))
    debug_rva, debug_size = struct.unpack_from("<II", image, directories + 8 * 6)
    for i in range(debug_size // 28):
        stamps.append((f"debug directory {i}", struct.unpack_from("<I", image, offset_of(debug_rva) + 28 * i + 4)[0]))
    return stamps


def check_launcher(launcher, relinked, paths):
    image = read(launcher)
    check(image == read(relinked), "the launcher built twice from the same inputs: identical bytes")
    stamps = pe_time_stamps(image)
    check(len(stamps) >= 2, f"time stamp fields found: {[where for where, _ in stamps]}")
    for where, value in stamps:
        check(value == 0, f"{where}: time stamp {value:#x} is zero")
    for path in paths:
        for spelling in {path, path.replace("/", "\\")}:
            check(spelling.encode() not in image, f"the launcher does not hold the path {spelling}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--maker", required=True)
    parser.add_argument("--launcher")
    parser.add_argument("--relinked")
    parser.add_argument("--paths", nargs="*", default=[])
    parser.add_argument("tool", nargs="+")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="pack-repro-") as folder:
        run = check_tool(args.tool, args.maker, folder)
        if args.launcher:
            write(os.path.join(folder, "launcher.exe"), read(args.launcher))
            check_append(run, folder, "launcher.exe")
            check_launcher(args.launcher, args.relinked, args.paths)
        else:
            # A launcher image with the magic text in its constant data, as the launcher has.
            write(os.path.join(folder, "stub.exe"), launcher_image())
            check_append(run, folder, "stub.exe")

    return finish()


if __name__ == "__main__":
    sys.exit(main())
