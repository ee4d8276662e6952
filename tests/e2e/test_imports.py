#!/usr/bin/env python3
"""What the launcher's import table lets Windows load it on. It imports only system DLLs that
Windows loads from the system directory (ntdll is mapped into every process before any of its
code runs); every other library is linked in or loaded at run time from the system directory
only. Every function it imports is in the checked list launcher_imports.txt, marked as present on
Windows XP SP3 and as resolved within the known system DLLs, and its header asks for no newer
Windows than XP (5.1): XP and Server 2003 must load it to show the legacy notice. No import is one
that Windows forwards to a DLL outside the known system DLLs: the loader would look for that DLL
in the launcher's own folder first.

Usage: test_imports.py OBJDUMP LAUNCHER"""

import os
import re
import subprocess
import sys
import unittest

ALLOWED = {"ntdll.dll", "kernel32.dll", "user32.dll", "shell32.dll", "advapi32.dll", "msvcrt.dll"}
CHECKED_LIST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "launcher_imports.txt")
PRESENT_ON_XP = {"xp"}
CRT_DLL = "msvcrt.dll"
XP_VERSION = (5, 1)
RESOLVED_IN_KNOWN_DLLS = {"known"}
# Imports that Windows 7 and later forward to a DLL outside the known system DLLs, by DLL: a
# pattern of function names and where they lead.
FORWARDED_OUTSIDE_KNOWN_DLLS = {
    "advapi32.dll": (re.compile(r"SystemFunction\d{3}"), "cryptbase.dll or cryptsp.dll"),
}


def read_checked_list():
    """{(dll, function): (XP mark, resolution mark)} from the checked list."""
    entries = {}
    with open(CHECKED_LIST, encoding="ascii") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                dll, function, mark, resolved = line.split()
                entries[(dll, function)] = (mark, resolved)
    return entries


class LauncherImports(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dump = subprocess.run([OBJDUMP, "-p", LAUNCHER], check=True, capture_output=True,
                                  text=True).stdout

    def imported(self):
        """Every (dll, function) of the import table."""
        functions, dll = set(), None
        for line in self.dump.splitlines():
            named = re.match(r"\s*DLL Name: (\S+)", line)
            if named:
                dll = named.group(1).lower()
                continue
            entry = re.match(r"\t[0-9a-f]+\t\s*\d+\s+(\S+)$", line)
            if dll and entry:
                functions.add((dll, entry.group(1)))
        return functions

    def test_only_system_dlls_are_imported(self):
        names = {n.lower() for n in re.findall(r"DLL Name: (\S+)", self.dump)}
        self.assertIn("kernel32.dll", names)  # the table was read at all
        self.assertLessEqual(names, ALLOWED)

    def test_every_import_is_checked_as_present_on_windows_xp(self):
        imported = self.imported()
        self.assertGreater(len(imported), 100, "the import table was not read")
        checked = read_checked_list()
        self.assertEqual(sorted(imported - set(checked)), [],
                         "imports nobody has checked for Windows XP SP3: look each up in "
                         "Microsoft's documentation and add it to launcher_imports.txt")
        self.assertEqual(sorted(set(checked) - imported), [],
                         "listed but no longer imported: remove from launcher_imports.txt")
        for (dll, function), (mark, resolved) in sorted(checked.items()):
            allowed = {"crt"} if dll == CRT_DLL else PRESENT_ON_XP
            self.assertIn(mark, allowed, "%s %s is not present on Windows XP SP3" % (dll, function))
            self.assertIn(resolved, RESOLVED_IN_KNOWN_DLLS,
                          "%s %s is not checked for forwarders" % (dll, function))

    def test_nothing_imported_is_forwarded_outside_the_known_dlls(self):
        imported = self.imported()
        self.assertGreater(len(imported), 100, "the import table was not read")
        for dll, function in sorted(imported | set(read_checked_list())):
            pattern, target = FORWARDED_OUTSIDE_KNOWN_DLLS.get(dll, (None, None))
            if pattern and pattern.fullmatch(function):
                self.fail("%s %s is forwarded to %s, which the loader would look for in the "
                          "launcher's own folder first: look it up at run time from the system "
                          "folder" % (dll, function, target))

    def test_header_asks_for_no_newer_windows_than_xp(self):
        for field in ("OSystem", "Subsystem"):
            major = int(re.search(r"Major%sVersion\s+(\d+)" % field, self.dump).group(1))
            minor = int(re.search(r"Minor%sVersion\s+(\d+)" % field, self.dump).group(1))
            self.assertLessEqual((major, minor), XP_VERSION, field)


if __name__ == "__main__":
    OBJDUMP, LAUNCHER = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
