"""Shared pieces of the end-to-end tests: the real launcher under Wine, observed from outside.

A test builds a launcher as a customer would receive it (the executable with a package appended,
under a name of its own), runs it through the message-box observer in the test Wine prefix, and
looks at what it left: the observer's report (boxes, buttons, exit code), the log file, the
customer module's record of its command line and folder.

Environment (set by CTest): LINKMOOR_LAUNCHER, LINKMOOR_BOX_OBSERVER, LINKMOOR_CUSTOMER_MODULE,
LINKMOOR_WINE_RUN, LINKMOOR_WINE_ROOT, LINKMOOR_WINE_ARCH, and for some tests LINKMOOR_E2E_BIN
(folder of the e2e helper programs).
"""

import os
import re
import shutil
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
import make_package  # noqa: E402

ENV = os.environ
ARCH = ENV.get("LINKMOOR_WINE_ARCH", "win64")
PREFIX = os.path.join(ENV.get("LINKMOOR_WINE_ROOT", ""), ARCH)
DRIVE_C = os.path.join(PREFIX, "drive_c")
LOG_NAME = "linkmoor-technician-customer-module.log"
PRODUCT = "Linkmoor Technician Edition - Customer Module"
IDENTIFIER = "101234567890"
# The system's temp folder, where every run folder goes: as the launcher names it (the Windows
# folder Wine reports, then "\Temp") and where it lies on the Linux side.
SYSTEM_TEMP_WINDOWS = "C:\\windows\\Temp"
SYSTEM_TEMP = os.path.join(DRIVE_C, "windows", "temp")
RUN_FOLDER_NAME = re.compile(r"[1-9a-f]{32}0?")

# Entry names of a complete package; the GUI variants carry the test customer module.
GUI_ENTRIES = ["linkmoor-customer-module-gui.exe." + a for a in ("x86", "amd64", "arm64")]
OTHER_ENTRIES = (
    ["linkmoor-customer-module-gui.dll", "qorvusbd.cat", "qorvusbd.cat.v7", "qorvusbd.inf",
     "openssl-license.txt", "qorvpnptls.inf", "qorvpnptls.cat", "qorvpnptls.cat.v7"]
    + [base + "." + a for base in ("linkmoortechcsrv.exe", "qorvusbd.sys", "qorvpnptls.sys",
                                    "libcrypto.dll", "libssl.dll")
       for a in ("x86", "amd64", "arm64")])


def windows_path(path):
    """The Windows form of a path on the Linux side: under drive_c as C:, elsewhere as Z:."""
    path = os.path.abspath(path)
    if path.startswith(DRIVE_C + os.sep):
        return "C:\\" + os.path.relpath(path, DRIVE_C).replace("/", "\\")
    return "Z:" + path.replace("/", "\\")


def package_entries(gui_contents=None):
    """(name, contents, padding) for every entry of a complete package."""
    if gui_contents is None:
        with open(ENV["LINKMOOR_CUSTOMER_MODULE"], "rb") as f:
            gui_contents = f.read()
    entries = [(n.encode(), gui_contents, 0) for n in GUI_ENTRIES]
    entries += [(n.encode(), ("placeholder for " + n + "\n").encode(), 0) for n in OTHER_ENTRIES]
    return entries


def build_launcher(path, entries=None, package=True):
    """Writes the launcher to `path`, with a package of `entries` appended (a complete one by
    default; none with package=False). Returns the bytes written."""
    with open(ENV["LINKMOOR_LAUNCHER"], "rb") as f:
        data = f.read()
    if package:
        data += make_package.package_bytes(entries or package_entries(), 0x5C)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return data


def wine(*args, env=None, check=False):
    """Runs a Windows program in the test prefix; returns the completed process."""
    full_env = dict(ENV)
    if env:
        full_env.update(env)
    result = subprocess.run([ENV["LINKMOOR_WINE_RUN"]] + list(args), env=full_env,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=240)
    if check and result.returncode != 0:
        raise AssertionError("wine %s failed (%d): %s" % (args, result.returncode, result.stdout))
    return result


def reg_query(key, value):
    """(type, data) of a registry value (None: the key's default value), or None when it is
    missing."""
    args = ["/ve"] if value is None else ["/v", value]
    out = wine("reg", "query", key, *args).stdout.decode(errors="replace")
    name = "(Default)" if value is None else value
    for line in out.splitlines():
        parts = line.split(None, 2)
        if len(parts) >= 2 and parts[0].lower() == name.lower() and parts[1].startswith("REG_"):
            return parts[1], parts[2] if len(parts) > 2 else ""
    return None


def reg_set(key, value, data, kind="REG_SZ"):
    args = ["reg", "add", key, "/f", "/t", kind, "/d", data]
    args[3:3] = ["/ve"] if value is None else ["/v", value]
    wine(*args, check=True)


def reg_delete(key, value=None):
    args = ["reg", "delete", key, "/f"]
    if value is not None:
        args[3:3] = ["/v", value]
    wine(*args)


def reg_restore(key, value, saved):
    """Puts back what reg_query(key, value) returned before a test changed it: the value (None:
    the key's default value) as it was, or, when there was none, no value (the key itself for the
    default value)."""
    if saved is None:
        reg_delete(key, value)
    else:
        reg_set(key, value, saved[1], saved[0])


class Run:
    """What one observed run showed: its boxes (dicts), the button pressed, the exit code."""

    def __init__(self, report):
        self.boxes = []
        self.exit = None
        for line in report.splitlines():
            if line == "box":
                self.boxes.append({"buttons": []})
                continue
            key, _, value = line.partition("=")
            value = value.replace("\\n", "\n").replace("\\r", "\r").replace("\\\\", "\\")
            if key == "exit":
                self.exit = value
            elif key == "button":
                ident, _, label = value.partition(":")
                self.boxes[-1]["buttons"].append((int(ident), label))
            elif self.boxes:
                self.boxes[-1][key] = value


def start_observing(launcher, press="OK", tmp=None, env=None, timeout_ms=120000, report=None):
    """Starts `launcher` (a Linux path inside the prefix) through the observer, which presses
    `press` on every box, and returns at once; finish_observing() waits for it. `tmp` (a Linux
    folder) becomes the launcher's TMP and TEMP. The observer's report goes beside the launcher
    unless `report` names another file."""
    report = report or launcher + ".observed"
    if os.path.exists(report):
        os.remove(report)
    args = [ENV["LINKMOOR_BOX_OBSERVER"]]
    if tmp is not None:
        args += ["--env", "TMP=" + windows_path(tmp), "--env", "TEMP=" + windows_path(tmp)]
    args += [windows_path(report), press, str(timeout_ms), windows_path(launcher)]
    full_env = dict(ENV)
    full_env.update(env or {})
    process = subprocess.Popen([ENV["LINKMOOR_WINE_RUN"]] + args, env=full_env,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return process, report


def finish_observing(observing):
    process, report = observing
    output, _ = process.communicate(timeout=240)
    if not os.path.exists(report):
        raise AssertionError("observer wrote no report: %s" % output)
    with open(report, encoding="latin-1", newline="") as f:
        run = Run(f.read())
    os.remove(report)
    return run


def observe(launcher, press="OK", tmp=None, env=None, timeout_ms=120000, report=None):
    """Runs `launcher` through the observer and returns what it showed (see start_observing)."""
    return finish_observing(start_observing(launcher, press, tmp, env, timeout_ms, report))


def read_record(path):
    """The test customer module's record as a dict, or None when it did not run."""
    if not os.path.exists(path):
        return None
    with open(path, encoding="latin-1", newline="") as f:
        return dict(line.split("=", 1) for line in f.read().split("\n") if "=" in line)


def run_folders(folder=SYSTEM_TEMP):
    """The names of the run folders in `folder`."""
    return sorted(n for n in os.listdir(folder) if RUN_FOLDER_NAME.fullmatch(n))


def run_folder_in_log(log):
    """The run folder's name, from the log's first "CreateDirectory: " line in the system's temp
    folder, or None."""
    found = re.search(rb"\r\nCreateDirectory: " + re.escape(SYSTEM_TEMP_WINDOWS.encode()) +
                      rb"\\([^\r\n\\]*)\r\n", log)
    return found.group(1).decode() if found else None


def probe_files(folder):
    return [n for n in os.listdir(folder) if n.startswith("__try__temporary__file__")]


class LauncherTestCase(unittest.TestCase):
    """Gives each test a fresh folder under the prefix's drive C:, holding a temp folder. The
    folder is left behind for inspection and emptied when the test runs again."""

    def setUp(self):
        self.folder = os.path.join(DRIVE_C, "e2e", "%s-%s" % (self.id().split(".", 1)[-1], ARCH))
        shutil.rmtree(self.folder, ignore_errors=True)
        self.tmp = os.path.join(self.folder, "tmp")
        os.makedirs(self.tmp)
        self.record = os.path.join(self.folder, "record.txt")
        self.cm_env = {"LINKMOOR_TEST_CM_RECORD": windows_path(self.record)}
        # A failed run leaves its run folder in the system's temp folder: tidied afterwards.
        earlier = set(run_folders())
        self.addCleanup(lambda: [shutil.rmtree(os.path.join(SYSTEM_TEMP, n), ignore_errors=True)
                                 for n in run_folders() if n not in earlier])

    def launcher(self, name, **kwargs):
        path = os.path.join(self.folder, name)
        build_launcher(path, **kwargs)
        return path

    def log(self, folder=None):
        with open(os.path.join(folder or self.tmp, LOG_NAME), "rb") as f:
            return f.read()

    def assertNoBoxes(self, run):
        self.assertEqual(run.boxes, [])
        self.assertEqual(run.exit, "0")

    def assertOneBox(self, run, text, caption=PRODUCT, icon=True):
        self.assertEqual(len(run.boxes), 1, run.boxes)
        box = run.boxes[0]
        self.assertEqual(box["text"], text)
        self.assertEqual(box["caption"], caption)
        self.assertEqual(box["icon"], "1" if icon else "0")
        self.assertEqual(box["buttons"], [(1, "OK")])
        self.assertEqual(box["pressed"], "OK")
        self.assertEqual(run.exit, "0")


def main():
    unittest.main(verbosity=2)
