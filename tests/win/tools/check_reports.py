#!/usr/bin/env python3
"""Runs `linkmoor-pack check` on complete and incomplete packages and checks every report line,
the summary and the exit code.

The same expectations hold for the Linux build and for the Windows build under Wine, so both
report a package the same way. The packages are made by the independent Python package maker.
check_report_complete.txt beside this script is the report of a complete package, line by line.

Usage: check_reports.py --maker make_package.py -- TOOL-COMMAND...
The tool runs in the packages' folder and is given relative paths, so its output does not depend
on how the system spells paths. Standard output and standard error are read together (Wine's
runner joins them).
"""

import argparse
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from pe_image import launcher_image  # noqa: E402
from script_checks import check, finish, read, write  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
ARCHES = ["x86", "amd64", "arm64"]
PER_ARCH = ["linkmoor-customer-module-gui.exe", "linkmoortechcsrv.exe", "qorvusbd.sys", "qorvpnptls.sys"]
OPENSSL = ["libcrypto", "libssl"]
SHARED = ["linkmoor-customer-module-gui.dll", "openssl-license.txt", "qorvusbd.inf", "qorvusbd.cat",
          "qorvusbd.cat.v7", "qorvpnptls.inf", "qorvpnptls.cat", "qorvpnptls.cat.v7"]
COMPLETE = ([f"{n}.{a}" for a in ARCHES for n in PER_ARCH] + [f"{n}.dll.{a}" for a in ARCHES for n in OPENSSL]
            + SHARED)
assert len(COMPLETE) == 26

STOP = ": the launcher would stop with the installation error Module: 0 Line 394 on this machine"


def error(machine, entry, target):
    return f"{machine} error: missing {entry} for {target}{STOP}"


def warning(machine, entry, target):
    return f"{machine} warning: missing {entry}: the optional OpenSSL library {target} is not written"


# file, entries (None: made otherwise), exit code, summary after "FILE: ", and every error,
# warning and unused line the report holds beyond the complete package's three unused entries
CASES = [
    ("launcher.exe", None, 0, "check passed: every machine runs (errors 0, warnings 0, unused 3)", []),
    # A package file alone: the report of its entries, but no machine can start it.
    ("complete.pkg", COMPLETE, 9, "check failed: a package without a launcher, which no machine can start; "
     "appended to the launcher: every machine runs (errors 0, warnings 0, unused 3)", []),
    ("no-v7.exe", [n for n in COMPLETE if n != "qorvusbd.cat.v7"], 5,
     "check failed: 3 of 6 machines would stop (errors 3, warnings 0, unused 3)",
     [error(f"{a} win-older", "qorvusbd.cat.v7", "qorvusbd.cat") for a in ARCHES]),
    # The first missing entry stops the machine; the files after it are not reached, missing or not.
    ("no-arm64.exe", [n for n in COMPLETE if not n.endswith(".arm64")], 5,
     "check failed: 2 of 6 machines would stop (errors 2, warnings 0, unused 3)",
     [error(f"arm64 {g}", "linkmoor-customer-module-gui.exe.arm64", "linkmoor-customer-module-gui.exe")
      for g in ["win10+", "win-older"]]),
    ("no-openssl.exe", [n for n in COMPLETE if not n.startswith(("libcrypto", "libssl"))], 0,
     "check passed: every machine runs (errors 0, warnings 12, unused 3)",
     [warning(f"{a} {g}", f"{n}.dll.{a}", f"{n}-3{ending}")
      for a, ending in zip(ARCHES, [".dll", "-x64.dll", "-arm64.dll"]) for g in ["win10+", "win-older"]
      for n in OPENSSL]),
    ("extra.exe", COMPLETE + ["readme.txt", "QORVUSBD.INF"], 0,
     "check passed: every machine runs (errors 0, warnings 0, unused 5)",
     ["unused QORVUSBD.INF", "unused readme.txt"]),
]

# file, exit code, the start of the one line of output
VERDICTS = [
    ("damaged.pkg", 1, "damaged.pkg: no package, or the package is damaged: the body digest is wrong"),
    ("missing.pkg", 2, "missing.pkg: the file cannot be read: "),
]


def make_files(maker, folder):
    # Launchers are a launcher image with the package appended.
    write(os.path.join(folder, "stub.exe"), launcher_image())

    def make(out, entries, *options):
        specs = [f"{name}:text=contents of {name}" for name in entries]
        if out.endswith(".exe"):
            options = ("--append-to", os.path.join(folder, "stub.exe"), *options)
        subprocess.run([sys.executable, maker, os.path.join(folder, out), *options, *specs], check=True)

    for name, entries, *_ in CASES:
        if entries is not None:
            make(name, entries)
    # The launcher carrying the complete package, followed by a signature stand-in.
    make("launcher.exe", COMPLETE, "--trailer", "300")
    with open(os.path.join(folder, "complete.pkg"), "rb") as f:
        damaged = bytearray(f.read())
    damaged[-20] ^= 0x10
    with open(os.path.join(folder, "damaged.pkg"), "wb") as f:
        f.write(damaged)


def run(tool, folder, name, *options):
    result = subprocess.run(tool + ["check", *options, name], cwd=folder, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
    return result.returncode, result.stdout.decode("latin-1").replace("\r\n", "\n").splitlines()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--maker", required=True)
    parser.add_argument("tool", nargs="+")
    args = parser.parse_args()
    with open(os.path.join(HERE, "check_report_complete.txt")) as f:
        complete = f.read().splitlines()
    listed = [line for line in complete if not line.startswith("unused ")]
    unused = [line for line in complete if line.startswith("unused ")]  # in every package here


    with tempfile.TemporaryDirectory(prefix="pack-check-") as folder:
        make_files(args.maker, folder)
        for name, entries, code, summary, findings in CASES:
            exit_code, lines = run(args.tool, folder, name)
            check(exit_code == code, f"{name}: exit {exit_code} (want {code})")
            check(lines[-1:] == [f"{name}: {summary}"], f"{name}: summary {lines[-1:]}")
            # A launcher's report names the machine it is built for, just before the summary.
            machine = [f"{name}: launcher built for x86"] if name.endswith(".exe") else []
            check(lines[-1 - len(machine):-1] == machine, f"{name}: the machine line {lines[-2:-1]}")
            body = lines[:-1 - len(machine)]
            if name in ("complete.pkg", "launcher.exe"):
                check(body == complete, f"{name}: the report is check_report_complete.txt")
                continue
            # The findings, exactly; every other line is the complete package's line for that
            # file, or that line marked as never reached after the machine's run has stopped.
            found = [l for l in body if " error: " in l or " warning: " in l or l.startswith("unused ")]
            others = [l for l in body if l not in found]
            check(sorted(found) == sorted(findings + unused), f"{name}: errors, warnings and unused entries")
            check(all(l in listed or l.replace(" not reached ", " unpack ") in listed for l in others),
                  f"{name}: every unpacked file as in a complete package")
            check(len(body) - len(unused) - sum(l.startswith("unused ") for l in findings) == len(listed),
                  f"{name}: one line per file of every machine's run")
        # --strict: warnings are errors (exit 14), the report stays the same.
        exit_code, lines = run(args.tool, folder, "no-openssl.exe", "--strict")
        check(exit_code == 14 and lines[-1] == "no-openssl.exe: check failed (--strict: warnings are errors): every "
              "machine runs (errors 0, warnings 12, unused 3)", f"--strict: exit {exit_code}, {lines[-1:]}")
        for name, code, line in VERDICTS:
            exit_code, lines = run(args.tool, folder, name)
            check(exit_code == code and len(lines) == 1 and lines[0].startswith(line),
                  f"{name}: exit {exit_code} (want {code}), {lines}")

    return finish()


if __name__ == "__main__":
    sys.exit(main())
