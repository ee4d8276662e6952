#!/usr/bin/env python3
"""Runs the Linux linkmoor-pack binary end to end.

Usage: pack_tool_e2e.py LINKMOOR-PACK MAKE_PACKAGE.PY

- create -> verify -> list -> extract gives the inputs back, and the package is byte for byte the
  one the independent Python maker builds from the same inputs and key;
- packages made only by the Python maker (repeated names, padded streams) list and extract;
- every bad input ends with a message on stderr, a non-zero exit code and no file left behind;
- '-' as create's output writes the package to standard output, '--list -' reads the list from
  standard input.
"""

import os
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from pe_image import launcher_image  # noqa: E402
from script_checks import check, finish, read, write  # noqa: E402

TOOL, MAKER = os.path.abspath(sys.argv[1]), sys.argv[2]


def run(*args, cwd, stdin=None):
    return subprocess.run([TOOL, *args], cwd=cwd, capture_output=True, input=stdin)


def make(folder, out, *entries, key=None):
    args = [sys.executable, MAKER, os.path.join(folder, out)]
    if key is not None:
        args += ["--key", str(key)]
    subprocess.run(args + list(entries), check=True)


def code_like(size, seed):
    rng = random.Random(seed)
    words = [bytes(rng.randrange(256) for _ in range(rng.randrange(1, 9))) for _ in range(400)]
    out = bytearray()
    while len(out) < size:
        out += rng.choice(words)
    return bytes(out[:size])


def round_trip(folder):
    inputs = {"libcrypto.dll.amd64": code_like(3709800, 1), "qorvusbd.inf": b"[Version]\r\n",
              "Linkmoor.dll": code_like(2097152, 2), "qorvusbd.cat.v7": code_like(5000, 3)}
    operands, maker_entries = [], []
    for i, (name, data) in enumerate(inputs.items()):
        write(os.path.join(folder, f"in{i}"), data)
        operands.append(f"in{i}={name}")
        maker_entries.append(f"{name}={os.path.join(folder, f'in{i}')}")

    created = run("create", "--key", "0x41", "out.pkg", *operands, cwd=folder)
    check(created.returncode == 0 and created.stderr == b"", "create succeeds")
    make(folder, "reference.pkg", *maker_entries, key=0x41)
    check(read(os.path.join(folder, "out.pkg")) == read(os.path.join(folder, "reference.pkg")),
          "create gives the bytes of the independent maker")

    verified = run("verify", "out.pkg", cwd=folder)
    check(verified.returncode == 0 and verified.stdout == b"out.pkg: package valid\n", "verify: valid")

    listed = run("list", "out.pkg", cwd=folder)
    expected = "".join(f"{len(inputs[n])} {n}\n" for n in sorted(inputs, key=lambda n: n.encode()))
    check(listed.returncode == 0 and listed.stdout.decode() == expected, "list: sizes and names in byte order")

    extracted = run("extract", "out.pkg", "x", cwd=folder)
    check(extracted.returncode == 0, "extract succeeds")
    check(sorted(os.listdir(os.path.join(folder, "x"))) == sorted(inputs), "extract writes every entry")
    check(all(read(os.path.join(folder, "x", n)) == d for n, d in inputs.items()), "extract gives the contents back")


def independent_packages(folder):
    # The later of two entries with one name wins; padding after a stream is skipped.
    make(folder, "repeat.pkg", "a.txt:text=first", "b.bin+9:gen=70000,5", "a.txt:text=second!")
    listed = run("list", "repeat.pkg", cwd=folder)
    check(listed.returncode == 0 and listed.stdout == b"7 a.txt\n70000 b.bin\n", "list of a maker's package")
    extracted = run("extract", "repeat.pkg", "y", cwd=folder)
    check(extracted.returncode == 0 and read(os.path.join(folder, "y", "a.txt")) == b"second!",
          "extract of a repeated name gives the later contents")


def bad_inputs(root):
    exe = launcher_image(30000)

    def prepare(folder):
        write(os.path.join(folder, "a"), b"contents a")
        write(os.path.join(folder, "launcher.exe"), exe)
        subprocess.run([TOOL, "create", "p.pkg", "a"], cwd=folder, check=True, capture_output=True)
        subprocess.run([TOOL, "append", "launcher.exe", "p.pkg", "with.exe"], cwd=folder, check=True,
                       capture_output=True)

    cases = [
        ("missing input", None, ["create", "out.pkg", "a", "nothing"]),
        ("empty input", lambda f: write(os.path.join(f, "e"), b""), ["create", "out.pkg", "a", "e"]),
        ("duplicate name", None, ["create", "out.pkg", "a", "p.pkg=a"]),
        ("name with a path", None, ["create", "out.pkg", "a=../a"]),
        ("input over 4 GiB", lambda f: os.truncate(os.path.join(f, "a"), 1 << 32), ["create", "out.pkg", "a"]),
        ("output exists", lambda f: write(os.path.join(f, "out.pkg"), b"old"), ["create", "out.pkg", "a"]),
        ("executable carries a package", None, ["append", "with.exe", "p.pkg", "out.exe"]),
        ("append output exists", lambda f: write(os.path.join(f, "out.exe"), b"old"),
         ["append", "launcher.exe", "p.pkg", "out.exe"]),
        ("together over 4 GiB", lambda f: os.truncate(os.path.join(f, "launcher.exe"), (1 << 32) - 64),
         ["append", "launcher.exe", "p.pkg", "out.exe"]),
        ("extract of no package", None, ["extract", "launcher.exe", "x"]),
        ("unknown command", None, ["pack", "out.pkg", "a"]),
    ]
    for what, setup, args in cases:
        with tempfile.TemporaryDirectory(dir=root) as folder:
            prepare(folder)
            if setup:
                setup(folder)
            before = {n: os.path.getsize(os.path.join(folder, n)) for n in os.listdir(folder)}
            result = run(*args, cwd=folder)
            after = {n: os.path.getsize(os.path.join(folder, n)) for n in os.listdir(folder)}
            check(result.returncode != 0 and result.stderr.strip() != b"" and after == before,
                  f"{what}: refused (exit {result.returncode}: {result.stderr.decode().splitlines()[:1]}), "
                  "nothing written")


def standard_streams(folder):
    write(os.path.join(folder, "one"), b"first input")
    os.makedirs(os.path.join(folder, "sub"))
    write(os.path.join(folder, "sub", "two"), b"second input")
    made = run("create", "--key", "7", "file.pkg", "one", "sub/two=two", cwd=folder)
    check(made.returncode == 0, "create into a file")
    piped = run("create", "--key", "7", "-", "one", "sub/two=two", cwd=folder)
    check(piped.returncode == 0 and piped.stdout == read(os.path.join(folder, "file.pkg")),
          "create - writes the same package to standard output")
    check(piped.stderr == f"standard output: 2 entries, {len(piped.stdout)} bytes\n".encode(),
          f"with the report on standard error ({piped.stderr!r})")
    listed = run("create", "--key", "7", "--list", "-", "stdin.pkg", cwd=folder,
                 stdin=b"\xef\xbb\xbf # inputs\n  one\n\n\tsub/two=two  \n")
    check(listed.returncode == 0 and read(os.path.join(folder, "stdin.pkg")) == read(os.path.join(folder, "file.pkg")),
          f"--list - reads the list from standard input ({listed.stderr!r})")


def release_cases(folder):
    """The cases of a release's life that 1.2.0 answers, one table: the shell command, its exit
    code, and a text its standard error must hold (None: empty)."""
    write(os.path.join(folder, "a"), b"contents a")
    write(os.path.join(folder, "b"), b"contents b")
    subprocess.run([TOOL, "create", "p.pkg", "a", "b"], cwd=folder, check=True, capture_output=True)
    make(folder, "escape.pkg", "x\x1b[31mred:text=x", key=3)
    write(os.path.join(folder, "le.lst"), "\ufeffa\r\nb\r\n".encode("utf-16-le"))
    write(os.path.join(folder, "be.lst"), "a\nb\n".encode("utf-16-be"))
    write(os.path.join(folder, "launcher.exe"), launcher_image(30000))
    os.chmod(os.path.join(folder, "launcher.exe"), 0o755)
    cases = [
        ("list --json p.pkg >/dev/full", 13, "linkmoor-pack: cannot write to standard output: No space left on device"),
        ("verify p.pkg >&-", 13, "cannot write to standard output: Bad file descriptor"),
        # A reader that went away: the exit code of the tool, not of the pipeline's end.
        ('{ "$0" list p.pkg; echo $? >rc; } | (exec 0<&-; sleep 1); exit $(cat rc)', 13,
         "cannot write to standard output: Broken pipe"),
        ("verify p.pkg 2>/dev/full >/dev/full", 13, None),
        ("create --list le.lst le.pkg", 0, None),
        ("create --list be.lst be.pkg", 0, None),
        ("create --list launcher.exe bin.pkg", 1, "'launcher.exe' is no text (it holds zero bytes)"),
        ("create --quiet - a b >/dev/null", 0, None),
        ("list escape.pkg | grep -F 'x\\u001b[31mred'", 0, None),
        ("append launcher.exe p.pkg out.exe && test -x out.exe", 0, None),
        ("verify a b", 64, "'b' is one operand too many: verify takes FILE"),
        ("help verify extra", 64, "'extra' is one operand too many"),
        ("help bogus", 64, "no help on 'bogus'"),
        ("--version extra", 64, "'extra' is one operand too many"),
    ]
    for command, code, said in cases:
        script = command if command.startswith("{") else f'"$0" {command}'
        result = subprocess.run(["sh", "-c", script, TOOL], cwd=folder, capture_output=True)
        err = result.stderr.decode("utf-8", "replace")
        check(result.returncode == code and (said in err and err.count("\n") == 1 if said else err == ""),
              f"{command}: exit {result.returncode} (want {code}), {err.strip()!r}")
    check(read(os.path.join(folder, "le.pkg")) == read(os.path.join(folder, "p.pkg"))
          and read(os.path.join(folder, "be.pkg")) == read(os.path.join(folder, "p.pkg")),
          "UTF-16 lists, with and without a byte order mark, give the package of the UTF-8 list")
    os.chmod(os.path.join(folder, "launcher.exe"), 0o644)
    subprocess.run([TOOL, "append", "launcher.exe", "p.pkg", "plain.exe"], cwd=folder, check=True, capture_output=True)
    check(not os.access(os.path.join(folder, "plain.exe"), os.X_OK), "append: no executable bit from a plain file")


with tempfile.TemporaryDirectory(prefix="pack-e2e-") as root:
    round_trip(root)
    standard_streams(root)
    independent_packages(root)
    bad_inputs(root)
    os.makedirs(os.path.join(root, "release"))
    release_cases(os.path.join(root, "release"))

sys.exit(finish())
