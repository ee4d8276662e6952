#!/usr/bin/env python3
"""Finds the largest package the 32-bit launcher can hold in memory, by running the real launcher
under Wine with packages of growing size and reading the box it shows.

The launcher reads its whole file into one buffer and inflates every entry into a block of its
own before it unpacks anything, so what it must hold at once is about the file, the contents of
every entry, and one more copy of the largest entry while that entry is inflated. A package that
does not fit makes it show "Not enough system resourses to complete the installation."; one that
fits makes it go on to unpack, and it stops at the first entry its run asks for (the packages
here hold none of them) with the installation error "Module: 0 Line 394".

Four shapes are bisected, each on the total size of the contents:
  stored  32 MiB entries stored uncompressed (zlib level 0): the file is as large as the contents
  zeros   32 MiB entries of zeros at level 9: a small file, large contents
  single  one entry of zeros at level 9: the largest entry is all of the contents
  single-stored  one entry stored uncompressed: a file as large as its one entry

Usage: memory_limit.py --launcher EXE --observer EXE --wine-run SCRIPT --work FOLDER
       [--step MIB] [--arch win32|win64] [--shapes SHAPE,...]
Needs LINKMOOR_WINE_ROOT (the folder of the prefixes). It prints one line per run and a table.
"""

import argparse
import hashlib
import os
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from make_package import HEADER_SIZE, header_bytes, record_head  # noqa: E402

MIB = 1 << 20
ENTRY = 32 * MIB
NO_MEMORY = "Not enough system resourses to complete the installation."
KEY = 0x5C


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def write_package(out, launcher, streams):
    """Writes the launcher followed by a package of (name, size, md5, stream) entries, streaming,
    and returns the file size."""
    with open(launcher, "rb") as f:
        image = f.read()
    body_md5 = hashlib.md5()
    body_length = 0
    with open(out, "wb") as f:
        f.write(image)
        header_at = f.tell()
        f.write(bytes(HEADER_SIZE))
        for name, md5, stream in streams:
            for part in (record_head(name, md5, len(stream)), stream):
                f.write(part)
                body_md5.update(part)
                body_length += len(part)
        f.seek(header_at)
        f.write(header_bytes(KEY, body_length, len(streams), body_md5.digest()))
        return header_at + HEADER_SIZE + body_length


class Shapes:
    def __init__(self):
        block = os.urandom(ENTRY)
        self.stored = (hashlib.md5(block).digest(), zlib.compress(block, 0))
        zeros = bytes(ENTRY)
        self.zeros = (hashlib.md5(zeros).digest(), zlib.compress(zeros, 9))

    def streams(self, shape, total):
        if shape == "single":
            zeros = bytes(total)
            return [(b"all.bin", hashlib.md5(zeros).digest(), zlib.compress(zeros, 9))]
        if shape == "single-stored":
            block = os.urandom(total)
            return [(b"all.bin", hashlib.md5(block).digest(), zlib.compress(block, 0))]
        md5, stream = self.stored if shape == "stored" else self.zeros
        return [(b"part%04d.bin" % i, md5, stream) for i in range(total // ENTRY)]


def fits(args, shapes, shape, total):
    """(fits, file size): runs the launcher once with `total` bytes of contents."""
    exe = os.path.join(args.work, "support_101234567890.exe")
    size = write_package(exe, args.launcher, shapes.streams(shape, total))
    report = exe + ".observed"
    if os.path.exists(report):
        os.remove(report)
    tmp = os.path.join(args.work, "tmp")
    os.makedirs(tmp, exist_ok=True)
    env = dict(os.environ, LINKMOOR_WINE_ARCH=args.arch)
    subprocess.run([args.wine_run, args.observer, "--env", "TMP=" + windows_path(tmp),
                    "--env", "TEMP=" + windows_path(tmp), windows_path(report), "OK", "300000",
                    windows_path(exe)], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=900)
    with open(report, encoding="latin-1") as f:
        text = f.read()
    os.remove(exe)
    if NO_MEMORY in text:
        return False, size
    if "Module: 0 Line 394" not in text:
        raise SystemExit(f"unexpected run of {shape} {total // MIB} MiB: {text!r}")
    return True, size


def bisect(args, shapes, shape):
    step = args.step * MIB
    unit = step if shape.startswith("single") else ENTRY
    low, high = unit, 2048 * MIB  # 2 GiB of contents never fit in a 2 GiB address space
    low_size = None
    while high - low > max(step, unit):
        middle = (low + high) // 2 // unit * unit
        ok, size = fits(args, shapes, shape, middle)
        print(f"{shape:13} contents {middle // MIB:5} MiB  file {size / MIB:8.1f} MiB  "
              f"{'loads' if ok else 'not enough memory'}", flush=True)
        if ok:
            low, low_size = middle, size
        else:
            high = middle
    return low, low_size, high


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--observer", required=True)
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--step", type=int, default=16)
    parser.add_argument("--arch", default="win32")
    parser.add_argument("--shapes", default="stored,zeros,single,single-stored")
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    shapes = Shapes()
    rows = []
    for shape in args.shapes.split(","):
        low, size, high = bisect(args, shapes, shape)
        largest = low if shape.startswith("single") else min(low, ENTRY)
        rows.append((shape, low, size, high, largest))
    print(f"\n{args.arch}: largest package that loads, per shape (contents fail at the next step)")
    print("shape          contents MiB  file MiB  fails at MiB  file+contents+largest entry MiB")
    for shape, low, size, high, largest in rows:
        if size is None:
            print(f"{shape:13}  none loaded")
            continue
        print(f"{shape:13}  {low / MIB:12.0f}  {size / MIB:8.1f}  {high / MIB:12.0f}  "
              f"{(size + low + largest) / MIB:10.1f}")


if __name__ == "__main__":
    main()
