#!/usr/bin/env python3
"""Runs `linkmoor-pack verify` on a fixed set of files and checks its verdicts and exit codes.

The same table holds for the Linux build and for the Windows build under Wine, so both report
a package the same way. The files are made by the independent Python package maker.

Usage: verify_verdicts.py --maker make_package.py [--wine] -- TOOL-COMMAND...
With --wine, file paths are handed to the tool as Windows paths on drive Z: (Wine's view of /).
"""

import argparse
import os
import subprocess
import sys
import tempfile

MAGIC = b"Fernhollow LLC installer system"

VALID = "package valid"
DAMAGED = "no package, or the package is damaged"
NOT_READ = "the file cannot be read"

# file, expected exit code, expected verdict
CASES = [
    ("valid.pkg", 0, VALID),
    ("launcher-with-package.exe", 0, VALID),
    ("damaged.pkg", 1, DAMAGED),
    ("truncated.pkg", 1, DAMAGED),
    ("no-package.exe", 1, DAMAGED),
    ("empty.bin", 1, DAMAGED),
    ("missing.pkg", 2, NOT_READ),
]


def make_files(maker, folder):
    def path(name):
        return os.path.join(folder, name)

    def make(out, *args):
        subprocess.run([sys.executable, maker, path(out), *args], check=True)

    # An executable stand-in whose constant data holds the magic text without a check field.
    stub = b"MZ" + bytes(range(256)) * 8 + MAGIC + bytes(40) + b"\x90" * 300
    with open(path("no-package.exe"), "wb") as f:
        f.write(stub)
    entries = ["big.dll:gen=2500000,7", "license.txt:text=Licence text", "small.sys:gen=1000,3"]
    make("valid.pkg", "--key", "0x5a", *entries)
    make("launcher-with-package.exe", "--append-to", path("no-package.exe"), "--trailer", "13", *entries)
    with open(path("valid.pkg"), "rb") as f:
        valid = bytearray(f.read())
    damaged = bytearray(valid)
    damaged[len(damaged) - 100] ^= 0x01
    with open(path("damaged.pkg"), "wb") as f:
        f.write(damaged)
    with open(path("truncated.pkg"), "wb") as f:
        f.write(valid[:-10])
    open(path("empty.bin"), "wb").close()


def as_tool_path(path, wine):
    return "Z:" + path.replace("/", "\\") if wine else path


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--maker", required=True)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("tool", nargs="+")
    args = parser.parse_args()

    failures = 0
    with tempfile.TemporaryDirectory(prefix="pack-verdicts-") as folder:
        make_files(args.maker, folder)
        for name, code, verdict in CASES:
            target = as_tool_path(os.path.join(folder, name), args.wine)
            run = subprocess.run(args.tool + ["verify", target], stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
            output = run.stdout.decode("latin-1")
            line = f"{target}: {verdict}"
            ok = run.returncode == code and line in output.splitlines()
            print(f"{'ok  ' if ok else 'FAIL'} {name}: exit {run.returncode} (want {code}), output {output!r}")
            failures += not ok
    print(f"{len(CASES) - failures} of {len(CASES)} verdicts as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
