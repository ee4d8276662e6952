#!/usr/bin/env python3
"""Runs linkmoor-pack.exe under Wine through create, list, extract, append and diff, and some refusals.

The package it creates must be byte for byte the one the independent Python maker builds from the
same inputs and key; refused commands must leave no output and no temporary file behind. File
names outside the ANSI code page (Cyrillic, Chinese) are read, listed and written as they are, and
'-' as create's output and as a list file are standard output (binary, no line-end translation)
and standard input.

Usage: pack_tool_wine.py MAKE_PACKAGE.PY WINE-RUN LINKMOOR-PACK.EXE
"""

import hashlib
import os
import pty
import random
import re
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from pe_image import launcher_image  # noqa: E402
from script_checks import check, finish, read, write  # noqa: E402

MAKER, WINE_RUN, TOOL = sys.argv[1], sys.argv[2], sys.argv[3]


def run(*args, cwd):
    # Relative paths: the tool runs with the folder as its current directory.
    return subprocess.run([WINE_RUN, TOOL, *args], cwd=cwd, capture_output=True, stdin=subprocess.DEVNULL)


rng = random.Random(5)
words = [bytes(rng.randrange(256) for _ in range(rng.randrange(1, 9))) for _ in range(300)]
big = b"".join(rng.choice(words) for _ in range(700000))[:2500000]
inputs = {"libssl.dll.x86": big, "qorvusbd.inf": b"[Version]\r\nSignature=x\r\n", "A.cat": b"\x30\x82\x01"}

with tempfile.TemporaryDirectory(prefix="pack-wine-") as folder:
    def path(name):
        return os.path.join(folder, name)

    operands, maker_entries = [], []
    for i, (name, data) in enumerate(inputs.items()):
        write(path(f"in{i}"), data)
        operands.append(f"in{i}={name}")
        maker_entries.append(f"{name}={path(f'in{i}')}")
    created = run("create", "--key", "200", "out.pkg", *operands, cwd=folder)
    check(created.returncode == 0, f"create succeeds ({created.stdout!r})")
    subprocess.run([sys.executable, MAKER, path("ref.pkg"), "--key", "200", *maker_entries], check=True)
    check(read(path("out.pkg")) == read(path("ref.pkg")), "create gives the bytes of the independent maker")

    # Without --key the key byte is the first byte of an MD5 over, per entry: name length and
    # contents length (32-bit little-endian), name, contents.
    md5 = hashlib.md5()
    for name, data in inputs.items():
        md5.update(struct.pack("<II", len(name), len(data)) + name.encode() + data)
    default_key = md5.digest()[0]
    created = run("create", "default.pkg", *operands, cwd=folder)
    subprocess.run([sys.executable, MAKER, path("ref-default.pkg"), "--key", str(default_key), *maker_entries],
                   check=True)
    check(created.returncode == 0 and read(path("default.pkg")) == read(path("ref-default.pkg")),
          f"the default key byte is {default_key}, as on every system")

    listed = run("list", "out.pkg", cwd=folder)
    expected = "".join(f"{len(inputs[n])} {n}\r\n" for n in sorted(inputs, key=lambda n: n.encode()))
    check(listed.returncode == 0 and listed.stdout.decode() == expected, f"list ({listed.stdout!r})")

    extracted = run("extract", "out.pkg", "x", cwd=folder)
    check(extracted.returncode == 0 and all(read(path("x/" + n)) == d for n, d in inputs.items()),
          "extract gives the contents back")

    write(path("launcher.exe"), launcher_image(50000))
    appended = run("append", "launcher.exe", "out.pkg", "with.exe", cwd=folder)
    check(appended.returncode == 0 and read(path("with.exe")) == read(path("launcher.exe")) + read(path("out.pkg")),
          "append writes the executable followed by the package")

    # The launcher against its own package: the same entries, other bytes in front.
    compared = run("diff", "out.pkg", "with.exe", cwd=folder)
    check(compared.returncode == 10 and compared.stdout.decode() ==
          "out.pkg -> with.exe: entries same 3, changed 0, added 0, removed 0; package bytes identical;"
          " bytes before the package differ; bytes after the package identical\r\n", f"diff ({compared.stdout!r})")
    compared = run("diff", "out.pkg", "default.pkg", cwd=folder)
    check(compared.returncode == 10 and b"package bytes differ" in compared.stdout,
          f"diff sees another key byte ({compared.stdout!r})")

    # Names in other scripts: taken from the file name, listed in UTF-8, written back as they were.
    names = ["\u0436\u0443\u0440\u043d\u0430\u043b.txt", "\u6587\u4ef6.dll"]
    for i, name in enumerate(names):
        write(path(name), f"contents {i}".encode())
    os.makedirs(path("\u043f\u0430\u043f\u043a\u0430"))
    created = run("create", "\u043f\u0430\u043f\u043a\u0430\\\u043f.pkg", *names, cwd=folder)
    check(created.returncode == 0, f"create from files named in other scripts ({created.stdout!r})")
    listed = run("list", "\u043f\u0430\u043f\u043a\u0430\\\u043f.pkg", cwd=folder)
    expected = "".join(f"10 {n}\r\n" for n in sorted(names, key=lambda n: n.encode()))
    check(listed.returncode == 0 and listed.stdout.decode("utf-8", "replace") == expected,
          f"list shows the names in UTF-8 ({listed.stdout!r})")
    extracted = run("extract", "\u043f\u0430\u043f\u043a\u0430\\\u043f.pkg", "\u0432\u044b\u0445\u043e\u0434", cwd=folder)
    check(extracted.returncode == 0 and
          all(read(path("\u0432\u044b\u0445\u043e\u0434/" + n)) == read(path(n)) for n in names),
          f"extract writes them under their names ({extracted.stdout!r})")

    # On a console (Wine makes one of a terminal) the names print as they are, not as the bytes
    # of their UTF-8 read in the console's code page.
    pid, terminal = pty.fork()
    if pid == 0:
        os.chdir(folder)
        os.execvp("sh", ["sh", "-c", '. "$0" && exec "$WINE" "$1" list "$2"',
                         os.path.join(os.path.dirname(WINE_RUN), "wine-env"), TOOL,
                         "\u043f\u0430\u043f\u043a\u0430\\\u043f.pkg"])
    shown = b""
    while True:
        try:
            chunk = os.read(terminal, 4096)
        except OSError:  # the terminal closes with the program
            break
        if not chunk:
            break
        shown += chunk
    os.waitpid(pid, 0)
    shown = re.sub(rb"\x1b\[[?0-9;]*[A-Za-z]", b"", shown).decode("utf-8", "replace")
    check(all(f"10 {n}" in shown for n in names), f"list on a console shows the names ({shown!r})")

    # Standard output and input, without the runner (which joins the two output streams).
    write(path("list.txt"), "\ufeffin0=libssl.dll.x86\r\n  # comment\r\n\r\n".encode())
    piped = subprocess.run(["sh", "-c", '. "$1" && exec "$WINE" "$2" create --key 200 - --list - >piped.pkg 2>err.txt '
                            "<list.txt", "sh", os.path.join(os.path.dirname(WINE_RUN), "wine-env"), TOOL], cwd=folder)
    subprocess.run([sys.executable, MAKER, path("ref-piped.pkg"), "--key", "200", f"libssl.dll.x86={path('in0')}"],
                   check=True)
    check(piped.returncode == 0 and read(path("piped.pkg")) == read(path("ref-piped.pkg")),
          f"create - --list - : the package on standard output, byte for byte ({read(path('err.txt'))!r})")

    # A report to a reader that went away (a closed pipe): one line naming the output, exit 13.
    closed = subprocess.run(["sh", "-c", '. "$1" && { "$WINE" "$2" list out.pkg 2>err.txt; echo $? >rc.txt; } | '
                             '(exec 0<&-; sleep 3)', "sh", os.path.join(os.path.dirname(WINE_RUN), "wine-env"), TOOL],
                            cwd=folder)
    said = read(path("err.txt")).decode("utf-8", "replace")
    check(read(path("rc.txt")).strip() == b"13" and said.startswith("linkmoor-pack: cannot write to standard output: ")
          and said.count("\n") == 1, f"list into a closed pipe: exit {read(path('rc.txt')).strip()!r}, {said!r}")
    for name in ("err.txt", "rc.txt"):
        os.remove(path(name))

    # A UTF-16 list as PowerShell 5 writes it, and the names shown with control bytes escaped.
    write(path("ps.lst"), "\ufeffin0=libssl.dll.x86\r\n".encode("utf-16-le"))
    made = run("create", "--key", "200", "--list", "ps.lst", "ps.pkg", cwd=folder)
    check(made.returncode == 0 and read(path("ps.pkg")) == read(path("ref-piped.pkg")),
          f"create --list of a UTF-16 list ({made.stdout!r})")
    subprocess.run([sys.executable, MAKER, path("escape.pkg"), "x\x1b[2Jy:text=z"], check=True)
    listed = run("list", "escape.pkg", cwd=folder)
    check(listed.stdout == b"1 x\\u001b[2Jy\r\n", f"list escapes control bytes ({listed.stdout!r})")
    for name in ("ps.lst", "ps.pkg", "escape.pkg"):
        os.remove(path(name))

    write(path("empty"), b"")
    refusals = [
        ("empty input", ["create", "new.pkg", "in0", "empty"]),
        ("output exists", ["create", "out.pkg", "in0"]),
        ("executable carries a package", ["append", "with.exe", "out.pkg", "new.exe"]),
        ("extract target exists", ["extract", "out.pkg", "x"]),
        ("name with a path", ["create", "new.pkg", "in0=sub\\x"]),
        ("output folder missing", ["create", "nowhere\\new.pkg", "in0"]),
        # The temporary file is written, then the rename to a name Windows refuses fails.
        ("output name Windows refuses", ["create", "bad?.pkg", "in0"]),
    ]
    for what, args in refusals:
        before = {n: os.path.getsize(path(n)) for n in os.listdir(folder)}
        result = run(*args, cwd=folder)
        after = {n: os.path.getsize(path(n)) for n in os.listdir(folder)}
        check(result.returncode == 1 and b"linkmoor-pack: " in result.stdout and after == before,
              f"{what}: refused, nothing written ({result.stdout!r})")

sys.exit(finish())
