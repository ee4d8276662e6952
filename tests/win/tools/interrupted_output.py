#!/usr/bin/env python3
"""An interrupted linkmoor-pack leaves no temporary output behind, and an interrupted extract
removes the files it wrote and the folder it created.

`append` writes a launcher of several hundred MB; as soon as its temporary file appears beside the
output, the tool gets SIGINT, then in a second run SIGTERM (under Wine only SIGINT, which is
Windows' Ctrl+C: Wine runs the program's console control handlers). Afterwards the folder must
hold exactly what it held before: no temporary file and no output. A run in which the signal came
only after the output was complete proves nothing and is repeated with a larger launcher. The Linux
build must end by the signal itself; Wine ends a program after Ctrl+C with exit code 0 (Windows:
STATUS_CONTROL_C_EXIT), so there only what is left is checked.

Usage: interrupted_output.py [--wine-env WINE-ENV] TOOL
With --wine-env the Windows TOOL runs under wine directly (the environment file of scripts/), so
that the signal reaches the program itself.
"""

import argparse
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
import make_package  # noqa: E402
from pe_image import launcher_image  # noqa: E402
from script_checks import check, finish, write  # noqa: E402


def interrupted_once(command, folder, size, sig, wine):
    """True when the signal came while the output was being written; checks what is left."""
    write(os.path.join(folder, "launcher.exe"), launcher_image(size))
    before = set(os.listdir(folder))
    process = subprocess.Popen(command + ["append", "launcher.exe", "p.pkg", "out.exe"], cwd=folder,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               start_new_session=True)
    deadline = time.monotonic() + 120
    while process.poll() is None and time.monotonic() < deadline:
        if set(os.listdir(folder)) - before:
            os.killpg(process.pid, sig)
            break
    process.wait(timeout=120)
    left = set(os.listdir(folder)) - before
    if left == {"out.exe"}:
        os.remove(os.path.join(folder, "out.exe"))
        print(f"     the output was complete before the signal came ({size >> 20} MiB launcher): again, larger")
        return False
    check((wine or process.returncode == -sig) and not left,
          f"{signal.Signals(sig).name} while writing a {size >> 20} MiB launcher: exit {process.returncode}, "
          f"left behind {left}")
    return True


def extract_interrupted(command, folder, sig, wine):
    """An extract into a new folder, interrupted once an entry is complete there: the run removes
    its files and the folder, and says so."""
    write(os.path.join(folder, "big.pkg"),
          make_package.package_bytes([(b"e%d" % i, bytes([i]) * (48 << 20), 0) for i in range(8)], 7))
    target = os.path.join(folder, "x")
    with open(os.path.join(folder, "err.txt"), "wb") as err:
        process = subprocess.Popen(command + ["extract", "big.pkg", "x"], cwd=folder, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=err, start_new_session=True)
        deadline = time.monotonic() + 120
        while process.poll() is None and time.monotonic() < deadline:
            if os.path.isdir(target) and any(n.startswith("e") for n in os.listdir(target)):
                os.killpg(process.pid, sig)
                break
        process.wait(timeout=120)
    with open(os.path.join(folder, "err.txt"), "rb") as f:
        said = f.read().decode("utf-8", "replace")
    check((wine or process.returncode == -sig) and not os.path.exists(target)
          and "extract stopped after writing" in said and "the folder it created was removed" in said,
          f"{signal.Signals(sig).name} during extract: exit {process.returncode}, folder left: "
          f"{os.path.exists(target)}, {said.strip()!r}")
    os.remove(os.path.join(folder, "big.pkg"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-env")
    parser.add_argument("tool")
    args = parser.parse_args()
    command = [args.tool]
    if args.wine_env:
        command = ["sh", "-c", '. "$0" && exec "$WINE" "$@"', args.wine_env, args.tool]
    with tempfile.TemporaryDirectory(prefix="pack-interrupt-") as folder:
        write(os.path.join(folder, "p.pkg"), make_package.package_bytes([(b"a.txt", b"contents", 0)], 7))
        for sig in (signal.SIGINT,) if args.wine_env else (signal.SIGINT, signal.SIGTERM):
            for size in (256 << 20, 512 << 20, 1024 << 20):
                if interrupted_once(command, folder, size, sig, bool(args.wine_env)):
                    break
            else:
                check(False, f"{signal.Signals(sig).name} never came while the output was being written")
            extract_interrupted(command, folder, sig, bool(args.wine_env))
    return finish()


if __name__ == "__main__":
    sys.exit(main())
