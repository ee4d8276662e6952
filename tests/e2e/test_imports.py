#!/usr/bin/env python3
"""The launcher imports only system DLLs that Windows loads from the system directory (ntdll is
mapped into every process before any of its code runs); every other library is linked in or
loaded at run time from the system directory only.

Usage: test_imports.py OBJDUMP LAUNCHER"""

import re
import subprocess
import sys
import unittest

ALLOWED = {"ntdll.dll", "kernel32.dll", "user32.dll", "shell32.dll", "advapi32.dll", "msvcrt.dll"}


class LauncherImports(unittest.TestCase):
    def test_only_system_dlls_are_imported(self):
        out = subprocess.run([OBJDUMP, "-p", LAUNCHER], check=True, capture_output=True,
                             text=True).stdout
        names = {n.lower() for n in re.findall(r"DLL Name: (\S+)", out)}
        self.assertIn("kernel32.dll", names)  # the table was read at all
        self.assertLessEqual(names, ALLOWED)


if __name__ == "__main__":
    OBJDUMP, LAUNCHER = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
