"""What the test scripts share: checks that print one line each and collect what failed,
whole-file reads and writes, the closing line with the exit code, and the command line of the
package tool's scripts (--maker make_package.py -- TOOL-COMMAND...).

A script puts this folder on its import path and calls finish() last:
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
    from script_checks import check, finish, read, write
"""

import argparse

failures = []


def maker_and_tool():
    """The arguments of a script that runs the package tool: .maker and .tool (a command list)."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--maker", required=True)
    parser.add_argument("tool", nargs="+")
    return parser.parse_args()


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)
    return condition


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def finish():
    """Prints the closing line and returns the script's exit code."""
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0
