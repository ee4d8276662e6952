"""What the test scripts share: checks that print one line each and collect what failed,
whole-file reads and writes, and the closing line with the exit code.

A script puts this folder on its import path and calls finish() last:
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
    from script_checks import check, finish, read, write
"""

failures = []


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
