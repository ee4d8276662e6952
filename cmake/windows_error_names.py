#!/usr/bin/env python3
"""Writes the Windows error names of the toolchain's winerror.h as C++ table rows.

Usage: windows_error_names.py WINERROR_H OUTPUT
Each row is {code, "NAME"}, in ascending code order; where several names share a code, the first
one the header defines is taken (ERROR_SUCCESS before NO_ERROR)."""

import re
import sys

DEFINE = re.compile(r"^#define\s+(ERROR_\w+)\s+(?:__MSABI_LONG\()?(\d+)L?\)?\s*$")


def main(header, output):
    names = {}
    with open(header, encoding="latin-1") as f:
        for line in f:
            match = DEFINE.match(line)
            if match:
                names.setdefault(int(match.group(2)), match.group(1))
    if 112 not in names:
        sys.exit(f"{header}: no error names found")
    with open(output, "w") as f:
        f.write(f"// Generated from {header.rsplit('/', 1)[-1]} by windows_error_names.py.\n")
        for code in sorted(names):
            f.write(f'{{{code}u, "{names[code]}"}},\n')


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
