#!/usr/bin/env python3
"""Every --json output of linkmoor-pack (list, verify, check, diff; valid, damaged and unreadable
files; create, append, extract) is one JSON document that parses and carries the fields tools/README documents, with
digests that match Python's hashlib on the contents.

Usage: json_outputs.py --maker make_package.py -- TOOL-COMMAND...
The same expectations hold for the Linux build and for the Windows build under Wine.
"""

import hashlib
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from pe_image import PE32_PLUS, certificate_entry, launcher_image, sign_image  # noqa: E402
from script_checks import check, finish, maker_and_tool, read, write  # noqa: E402

CONTENTS = {"b.dll": b"contents of b" * 1000, "A.txt": b"licence", "c.sys": bytes(range(256)) * 40}
TOP = {"format_version", "tool", "command", "exit_code", "summary"}
FILE = {"path", "verdict", "reason", "front", "package", "signature", "entries"}
ENTRY = {"name", "stored_order", "compressed_size", "size", "md5", "sha256"}


def make_files(maker, folder):
    specs = [f"{name}={os.path.join(folder, name)}" for name in CONTENTS]
    for name, data in CONTENTS.items():
        write(os.path.join(folder, name), data)
    subprocess.run([sys.executable, maker, os.path.join(folder, "valid.pkg"), "--key", "9", *specs], check=True)
    package = read(os.path.join(folder, "valid.pkg"))
    write(os.path.join(folder, "launcher.exe"), launcher_image() + package)
    write(os.path.join(folder, "launcher64.exe"), launcher_image(magic=PE32_PLUS) + package)
    signed = sign_image(launcher_image() + package, certificate_entry(b"\x30" * 500))
    write(os.path.join(folder, "signed.exe"), signed)
    write(os.path.join(folder, "cut.exe"), signed[:-100])
    damaged = bytearray(package)
    damaged[-3] ^= 1
    write(os.path.join(folder, "damaged.pkg"), bytes(damaged))


def check_entries(what, entries):
    stored = list(CONTENTS)
    check(sorted(e["name"] for e in entries) == sorted(CONTENTS), f"{what}: every entry")
    for entry in entries:
        data = CONTENTS[entry["name"]]
        check(set(entry) >= ENTRY and entry["size"] == len(data) and entry["stored_order"] == stored.index(entry["name"]) + 1
              and entry["compressed_size"] > 0 and entry["md5"] == hashlib.md5(data).hexdigest()
              and entry["sha256"] == hashlib.sha256(data).hexdigest(), f"{what}: entry {entry['name']}")


def check_file(what, obj, verdict, front=None, machine=None):
    check(set(obj) >= FILE and obj["verdict"] == verdict, f"{what}: file fields, verdict {obj.get('verdict')}")
    if verdict != "valid":
        check(isinstance(obj["reason"], str) and obj["front"] is None and obj["package"] is None,
              f"{what}: a reason, no package")
        return
    check(obj["reason"] is None and obj["front"]["kind"] == front and {"problem", "image_end"} <= set(obj["front"])
          and obj["front"]["machine"] == machine
          and {"offset", "end", "key_byte", "body_length", "entry_count"} <= set(obj["package"])
          and obj["package"]["key_byte"] == 9 and obj["package"]["entry_count"] == 3
          and {"signed", "covers_package", "table_offset"} <= set(obj["signature"]), f"{what}: front, package, signature")


def main():
    args = maker_and_tool()

    with tempfile.TemporaryDirectory(prefix="pack-json-") as folder:
        make_files(args.maker, folder)

        def run(*command):
            result = subprocess.run(args.tool + list(command), cwd=folder, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
            what = " ".join(command)
            try:
                document = json.loads(result.stdout.decode("utf-8"))
            except ValueError as error:
                check(False, f"{what}: one JSON document ({error}: {result.stdout[:200]!r})")
                return None
            check(set(document) >= TOP and document["format_version"] == 1
                  and document["exit_code"] == result.returncode and document["command"] == command[0]
                  and {"version", "launcher_version", "zlib_version"} <= set(document["tool"]),
                  f"{what}: parses, format version 1, exit code {result.returncode}")
            return document

        listed = run("list", "--json", "valid.pkg")
        if listed:
            check_file("list", listed["file"], "valid", "package_file")
            check_entries("list", listed["file"]["entries"])
        for name, machine in (("launcher.exe", "x86"), ("launcher64.exe", "x64")):
            verified = run("verify", "--json", name)
            if verified:
                check_file(f"verify {name}", verified["file"], "valid", "launcher", machine)
                check_entries(f"verify {name}", verified["file"]["entries"])
        for name, state, code in (("signed.exe", "whole", 0), ("cut.exe", "cut_short", 12)):
            verified = run("verify", "--json", name)
            if verified:
                signature = verified["file"]["signature"]
                check(verified["exit_code"] == code and signature["table_state"] == state
                      and signature["signed"] == (code == 0) and signature["covers_package"] == (code == 0)
                      and (signature["table_problem"] is None) == (code == 0),
                      f"verify {name}: table_state {signature['table_state']}, signed {signature['signed']}")
        for name, verdict in (("damaged.pkg", "damaged"), ("missing.pkg", "not_read")):
            refused = run("verify", "--json", name)
            if refused:
                check_file(f"verify {name}", refused["file"], verdict)
        checked = run("check", "--json", "launcher.exe")
        if checked:
            check_file("check", checked["file"], "valid", "launcher", "x86")
            report = checked["check"]
            check(len(report["machines"]) == 6 and all(
                {"architecture", "windows", "runs", "files"} <= set(m) and not m["runs"] for m in report["machines"])
                and all({"entry", "target", "optional", "fate"} <= set(f) for f in report["machines"][0]["files"])
                and sorted(report["unused"]) == sorted(CONTENTS)
                and report["counts"] == {"machines": 6, "failing_machines": 6, "errors": 6, "warnings": 0,
                                         "unused": 3},
                "check: machines with their files, unused entries, counts")
            memory = checked["memory"]
            check(memory["contents"] == sum(map(len, CONTENTS.values())) and memory["over_limit"] is False
                  and memory["need"] == memory["file"] + memory["contents"] + memory["largest_entry"],
                  "check: the memory the launcher needs")
        compared = run("diff", "--json", "valid.pkg", "launcher.exe")
        if compared:
            check_file("diff old", compared["old"], "valid", "package_file")
            check_file("diff new", compared["new"], "valid", "launcher", "x86")
            check(all(e["change"] == "same" and e["old"]["sha256"] == e["new"]["sha256"] for e in compared["entries"])
                  and compared["counts"] == {"same": 3, "changed": 0, "added": 0, "removed": 0}
                  and compared["package_bytes"] == "identical" and compared["bytes_before"] == "differ"
                  and compared["bytes_after"] == "identical" and compared["only_signature_differs"] is False,
                  "diff: entries and byte verdicts")
        # The writing commands: what was written, with digests Python recomputes.
        specs = [f"{name}={name}" for name in CONTENTS]
        created = run("create", "--json", "--key", "9", "made.pkg", *specs)
        if created:
            made = read(os.path.join(folder, "made.pkg"))
            check(created["exit_code"] == 0 and created["messages"] == [] and created["key_byte"] == 9
                  and created["output"] == {"path": "made.pkg", "size": len(made),
                                            "sha256": hashlib.sha256(made).hexdigest()}
                  and [e["name"] for e in created["entries"]] == list(CONTENTS)
                  and all(e["size"] == len(CONTENTS[e["name"]])
                          and e["sha256"] == hashlib.sha256(CONTENTS[e["name"]]).hexdigest()
                          and e["md5"] == hashlib.md5(CONTENTS[e["name"]]).hexdigest() for e in created["entries"]),
                  "create --json: the output with its SHA-256, the entries in the order given")
        write(os.path.join(folder, "bare.exe"), launcher_image(magic=PE32_PLUS))
        appended = run("append", "--json", "bare.exe", "made.pkg", "made.exe")
        if appended:
            made = read(os.path.join(folder, "made.exe"))
            check(appended["exit_code"] == 0 and appended["machine"] == "x64"
                  and appended["package_offset"] == len(launcher_image(magic=PE32_PLUS))
                  and appended["output"]["sha256"] == hashlib.sha256(made).hexdigest()
                  and sorted(e["name"] for e in appended["entries"]) == sorted(CONTENTS),
                  "append --json: the output, the package's offset, the launcher's machine, the entries")
        extracted = run("extract", "--json", "made.exe", "out")
        if extracted:
            check(extracted["exit_code"] == 0 and extracted["output"]["path"] == "out"
                  and all(read(os.path.join(folder, e["target"].replace("\\", "/"))) == CONTENTS[e["name"]]
                          and e["sha256"] == hashlib.sha256(CONTENTS[e["name"]]).hexdigest() and not e["replaced"]
                          for e in extracted["entries"]) and len(extracted["entries"]) == len(CONTENTS),
                  "extract --json: every file written, with its digests")
        refused = run("create", "--json", "made.pkg", "b.dll")
        if refused:
            check(refused["exit_code"] == 1 and refused["output"] is None and refused["entries"] == []
                  and len(refused["messages"]) == 1 and "exists already" in refused["messages"][0],
                  "create --json refused: the message in the document, nothing written")
        refused = run("diff", "--json", "valid.pkg", "damaged.pkg")
        if refused:
            check_file("diff of a damaged package", refused["new"], "damaged")
    return finish()


if __name__ == "__main__":
    sys.exit(main())
