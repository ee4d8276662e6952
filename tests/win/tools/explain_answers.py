#!/usr/bin/env python3
"""Runs `linkmoor-pack explain` on box texts and on logs the real launcher wrote under Wine, and
checks its answers and exit codes against one table that holds for the Linux build and for the
Windows build under Wine.

Usage: explain_answers.py LOG-FOLDER -- TOOL-COMMAND...
The logs (NAME.log) and their reviewed reports (NAME.expected) are in LOG-FOLDER; its crafted/
folder holds logs made by hand in the same way (an 11-digit build number, a 400 kB system line,
binary junk with a tail of zero bytes, another 2.x version with CR-only line ends) and one file of
binary junk that is no log. Under Wine the tool's standard error reaches the script mixed into
its standard output.
"""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from script_checks import check, finish, read, write  # noqa: E402

LOGS, TOOL = sys.argv[1], sys.argv[3:]
assert sys.argv[2] == "--"
NOT_EXPLAINED = 7
KEYS = ["box", "place", "doing", "error", "cause", "next"]

# Every raising place once, in its generic box: (module, line, operation).
PLACES = [(19, 62, "the engine's set-up"), (19, 74, "the engine's set-up"),
          (19, 83, "the engine's set-up"), (19, 89, "the engine's set-up"),
          (19, 101, "the engine's set-up"), (19, 117, "the engine's set-up"),
          (19, 729, "InstallFile"), (19, 855, "InstallFile"), (19, 940, "InstallFile"),
          (19, 962, "InstallFile"), (19, 972, "InstallFile"), (19, 981, "InstallFile"),
          (19, 998, "InstallFile"), (19, 1045, "CreateDirectory"),
          (0, 168, "LaunchCustomerModule"), (0, 186, "LaunchCustomerModule"),
          (0, 394, "UnpackModules"),
          (65535, 65535, "the package reader"), (65535, 65534, "the package reader"),
          (65535, 65533, "the package reader")]

DISK_FULL = """box: "Module: 19 Line 998 Err 0x70" (caption "Installation Error")
place: module 19 (installer engine), line 998: InstallFile
doing: unpacking: writing an unpacked file into the run folder; fewer bytes were written than the file holds
error: 0x70 = 112 ERROR_DISK_FULL: there is not enough space on the disk
cause: the Windows drive (as a rule C:), which holds the run folder in the Windows folder's Temp, is full
next: free space on that drive (a run needs about 30 MB), then run the launcher again
"""
SYSTEM_TEMP_MISSING = """box: "Module: 19 Line 1045 Err 0x3" (caption "Installation Error")
place: module 19 (installer engine), line 1045: CreateDirectory
doing: creating the run folder in the system's temp folder (the Windows folder's SystemTemp or Temp, as a rule C:\\Windows\\Temp), or the architecture folder inside it
error: 0x3 = 3 ERROR_PATH_NOT_FOUND: a folder on the path was not found
cause: the system's temp folder (the Windows folder's Temp) is missing, or the run folder vanished while the launcher ran
next: make sure the Windows folder's Temp folder (as a rule C:\\Windows\\Temp) exists, that administrators may create folders in it and that drive C: has about 30 MB free, then run the launcher again; the launcher never unpacks into a folder the user's own programs control instead
"""
LAUNCH_BLOCKED = """box: "Module: 0 Line 168 Err 0x5" (caption "Installation Error")
place: module 0 (customer-module run), line 168: LaunchCustomerModule
doing: starting the customer module (with the technician identifier from the launcher's name)
error: 0x5 = 5 ERROR_ACCESS_DENIED: access was denied
cause: security software or a policy (AppLocker, Software Restriction Policies) blocks programs started from the temp folder
next: allow the launcher and its run folder in the security software or policy, or ask the machine's administrator
"""
ADMINISTRATOR = """box: "You have to be logged in as an administrator while installing this program!" (caption "Linkmoor Technician Edition - Customer Module")
meaning: the launcher needs administrator rights and had none
place: module 19 (installer engine), line 74: the engine's set-up
doing: setting up: checking that the launcher runs with administrator rights
error: 0x521 = 1313 ERROR_NO_SUCH_PRIVILEGE: a required privilege is not held (here: no enabled Administrators group)
cause: the launcher was not run as an administrator: its token holds no enabled Administrators group (a standard account, or elevation skipped by a compatibility setting)
next: right-click the launcher and choose "Run as administrator", or log in with an administrator account; the launcher must not be started through a compatibility setting that runs it without elevation
"""
NO_WORK_FOLDER = """box: "Error while unpacking modules in template folder" (caption "Linkmoor Technician Edition - Customer Module")
meaning: the launcher found no folder it could write in: not the user's temp folder, not the Windows Temp folder, no drive's root, not its own folder; nothing was unpacked and no log was written
cause: every candidate folder refused a test file: disks full or write-protected, or security software blocking the launcher
next: free space on drive C:, allow the launcher in the security software, or copy it to a writable local folder and run it from there
"""

# (what, arguments, exit code, expected standard output; None: only the keys are checked; a pair
# (line, operation): the keys and the place line are)
TEXTS = [
    ("the generic box as shown", ["Module: 19 Line 998 Err 0x70\n"], 0, DISK_FULL),
    ("with a typed \\n, upper case, blanks missing", ["MODULE:19 LINE998 ERR 0X70\\n"], 0, DISK_FULL),
    ("as separate words, without 0x", ["module:", "19", "line", "998", "err", "70"], 0, DISK_FULL),
    ("extra blanks", ["  Module :  19   Line  998  Err  0x70  "], 0, DISK_FULL),
    ("a launch blocked", ["Module: 0 Line 168 Err 0x5"], 0, LAUNCH_BLOCKED),
    ("no system temp folder for the run folder", ["Module: 19 Line 1045 Err 0x3"], 0,
     SYSTEM_TEMP_MISSING),
    ("a fixed text", ["You have to be logged in as an administrator while installing this program!"],
     0, ADMINISTRATOR),
    ("a fixed text in other case, without its mark",
     ["you have to be logged in as an administrator while installing this program"], 0, ADMINISTRATOR),
    ("the work-folder warning", ["Error while unpacking modules in template folder"], 0,
     NO_WORK_FOLDER),
    ("the legacy notice's first words", ["This version of the program is designed to run"], 0, None),
    ("the package messages", ["Installation package is damaged."], 0, None),
    ("", ["Error while unpacking modules."], 0, None),
    ("", ["Not enough system resourses to complete the installation."], 0, None),
    ("the unexpected error", ["Unexpected error."], 0, None),
    # Refused: no raising place, no box, too short to tell apart.
    ("a line no place has", ["Module: 19 Line 999 Err 0x70"], NOT_EXPLAINED, ""),
    ("a module no place has", ["Module: 7 Line 998 Err 0x70"], NOT_EXPLAINED, ""),
    ("a line too large", ["Module: 19 Line 99998 Err 0x70"], NOT_EXPLAINED, ""),
    ("no error code", ["Module: 19 Line 998"], NOT_EXPLAINED, ""),
    ("some other text", ["The printer is out of paper."], NOT_EXPLAINED, ""),
    ("the start of two boxes", ["Error while"], NOT_EXPLAINED, ""),
    ("a module too large for its field", ["Module: 12345678901 Line 998 Err 0x70"], NOT_EXPLAINED, ""),
    ("an error code too large", ["Module: 19 Line 998 Err 0x123456789"], NOT_EXPLAINED, ""),
    ("a text of 20000 characters", ['"' * 10000 + "Module: 19 Line 998 Err 0x70" + "7" * 10000],
     NOT_EXPLAINED, ""),
] + [(f"place {m}/{l}", [f"Module: {m} Line {l} Err 0x2"], 0, (l, op)) for m, l, op in PLACES]


def explain(folder, *args):
    result = subprocess.run(TOOL + ["explain", *args], cwd=folder, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
    return (result.returncode, result.stdout.decode("latin-1").replace("\r\n", "\n"),
            result.stderr.decode("latin-1").replace("\r\n", "\n"))


def keys(output):
    return [line.split(":", 1)[0] for line in output.splitlines()]


with tempfile.TemporaryDirectory(prefix="explain-") as folder:
    for what, args, code, expected in TEXTS:
        got, out, err = explain(folder, *args)
        label = f"{what or args[0]!r}: exit {got}"
        if expected is None:
            check(got == code and keys(out)[:1] == ["box"] and "next" in keys(out), label + f" ({out[:120]!r})")
        elif isinstance(expected, tuple):
            line, operation = expected
            check(got == code and keys(out) in (KEYS, KEYS + ["note"]) and f", line {line}: {operation}\n" in out,
                  label + f" ({out[:200]!r})")
        elif code == NOT_EXPLAINED:  # the refusal itself goes to standard error (merged under Wine)
            check(got == code and "box:" not in out and "is no box of the launcher" in out + err,
                  label + f" ({out[:200]!r}, {err[:200]!r})")
        else:
            check(got == code and out == expected, label + (f" ({out!r}, {err!r})" if out != expected else ""))

    def logs(source):
        return [(source, n[:-4]) for n in sorted(os.listdir(source)) if n.endswith(".log")]

    real, crafted = logs(LOGS), logs(os.path.join(LOGS, "crafted"))
    check(len(real) >= 4 and len(crafted) >= 4, f"{len(real)} logs of the real launcher, {len(crafted)} crafted")
    for source, name in real + crafted:
        shutil.copy(os.path.join(source, name + ".log"), folder)
        got, out, err = explain(folder, name + ".log")
        expected = read(os.path.join(source, name + ".expected")).decode("latin-1")
        check(got == 0 and out == expected, f"{name}.log: the reviewed report (exit {got}{', ' + repr(out) if out != expected else ''})")

    # Saved again as UTF-16 (Notepad's "Unicode"): the same report as the UTF-8 log.
    os.makedirs(os.path.join(folder, "utf16"))
    text = read(os.path.join(LOGS, "complete-run.log")).decode("utf-8")
    write(os.path.join(folder, "utf16", "complete-run.log"), "\ufeff".encode("utf-16-le") + text.encode("utf-16-le"))
    got, out, err = explain(os.path.join(folder, "utf16"), "complete-run.log")
    check(got == 0 and out == read(os.path.join(LOGS, "complete-run.expected")).decode("latin-1"),
          f"a UTF-16 log: the report of its UTF-8 text (exit {got})")

    # Cut short inside a line: the report says so, and where the run had got to.
    log = read(os.path.join(LOGS, "complete-run.log"))
    cut = log[:log.index(b"source file:qorvusbd.inf") + 15]
    write(os.path.join(folder, "cut.log"), cut)
    got, out, err = explain(folder, "cut.log")
    check(got == 0 and "cut.log: completed: no\n" in out and "cut.log: note: the log ends inside a line: it was cut short\n" in out
          and "cut.log: phase reached: unpacking" in out, f"a log cut short ({out!r})")
    write(os.path.join(folder, "notes.txt"), b"Dear technician,\r\nthe program showed a box.\r\n")
    shutil.copy(os.path.join(LOGS, "crafted", "not-a-log.bin"), folder)
    for name in ["notes.txt", "not-a-log.bin"]:
        got, out, err = explain(folder, name)
        check(got == NOT_EXPLAINED and f"{name}: not a launcher log" in out + err and "completed" not in out,
              f"{name}, no log: exit {got}")

sys.exit(finish())
