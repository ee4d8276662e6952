#!/usr/bin/env python3
"""The identifier taken from the launcher's file name, and the log of a whole run."""

import os
import re

import launcher_driver as d

ARCH_FORMS = {"win64": ("amd64", "x64", "-x64.dll"), "win32": ("x86", "x86", ".dll")}


class IdentifierFromFileName(d.LauncherTestCase):
    def run_named(self, *parts):
        launcher = self.launcher(os.path.join(*parts))
        run = d.observe(launcher, tmp=self.tmp, env=self.cm_env)
        self.assertNoBoxes(run)
        record = d.read_record(self.record)
        self.assertIsNotNone(record, "the customer module did not run")
        os.remove(self.record)
        return record, self.log()

    def test_names_with_the_identifier(self):
        for name in ("support_101234567890.exe", "101234567890.exe", "ab_cd_101234567890.exe",
                     os.path.join("ab_cd", "101234567890.exe")):
            with self.subTest(name=name):
                record, log = self.run_named(name)
                self.assertEqual(record["command_line"], " -technician-id " + d.IDENTIFIER)
                self.assertIn(b"\r\nid: 101234567890\r\n", log)

    def test_names_without_an_identifier(self):
        for name in ("support-101234567890.exe", "support_101234567890.EXE",
                     "support_101234567890 (1).exe", "x101234567890.exe",
                     "support_1012345678901.exe", "support_991234567890.exe",
                     os.path.join("ab_cd", "101234567890x.exe")):
            with self.subTest(name=name):
                record, log = self.run_named(name)
                self.assertNotIn("-technician-id", record["command_line"])
                self.assertIn("linkmoor-customer-module-gui.exe", record["command_line"])
                self.assertNotIn(b"\r\nid: ", log)
                launch = re.findall(rb"Launch path: [^\r\n]*\r\n", log)
                self.assertEqual(len(launch), 2, log)
                self.assertEqual(launch[0], launch[1])


class LogOfARun(d.LauncherTestCase):
    def expected_log(self, work, run_folder, catalog_entry):
        arch_folder, label, crypto_ending = ARCH_FORMS[d.ARCH]
        suffix = "." + arch_folder
        run = work + "\\" + run_folder
        installed = [
            ("linkmoor-customer-module-gui.dll", "linkmoor-customer-module-gui.dll"),
            ("linkmoor-customer-module-gui.exe" + suffix, "linkmoor-customer-module-gui.exe"),
            ("linkmoortechcsrv.exe" + suffix, "linkmoortechcsrv.exe"),
            (catalog_entry, "qorvusbd.cat"),
            ("qorvusbd.inf", "qorvusbd.inf"),
            ("qorvusbd.sys" + suffix, arch_folder + "\\qorvusbd.sys"),
            ("qorvpnptls.sys" + suffix, arch_folder + "\\qorvpnptls.sys"),
            ("openssl-license.txt", "openssl-license.txt"),
            ("libcrypto.dll" + suffix, "libcrypto-3" + crypto_ending),
            ("libssl.dll" + suffix, "libssl-3" + crypto_ending),
        ]
        lines = [d.PRODUCT + " Version 2.5", None,  # the system line, checked apart
                 "CreateDirectory: " + run,
                 "******* unpack files **********",
                 "CreateDirectory: " + run + "\\" + arch_folder]
        for entry, target in installed:
            lines += ["source file:" + entry, "Install File: " + run + "\\" + target]
        lines += ["******* launch CM **********",
                  "Launch path: " + run + "\\linkmoor-customer-module-gui.exe",
                  "id: " + d.IDENTIFIER,
                  "test customer module: hello from the customer module",
                  "******* cleanup files *******"]
        paths = sorted((run + "\\" + t).encode("latin-1") for _, t in installed)
        lines += ["RemoveInstallFiles: " + p.decode("latin-1") for p in paths]
        lines += ["DeleteFile: " + run + "\\linkmoortechcsrv.exe.log",
                  "DeleteDirectory: " + run + "\\" + arch_folder,
                  "DeleteDirectory: " + run,
                  "******* end **********"]
        return lines, label

    def test_whole_log_byte_for_byte_and_truncated_on_a_second_run(self):
        launcher = self.launcher("support_101234567890.exe")
        with open(os.path.join(self.tmp, d.LOG_NAME), "wb") as f:
            f.write(b"an earlier log, longer than anything a run writes\r\n" * 400)
        for attempt in (1, 2):
            with self.subTest(attempt=attempt):
                self.assertNoBoxes(d.observe(launcher, tmp=self.tmp, env=self.cm_env))
                log = self.log()
                self.assertTrue(log.endswith(b"\r\n"), log[-80:])
                lines = log.decode("latin-1").split("\r\n")[:-1]
                created = re.fullmatch(r"CreateDirectory: (.*)\\([1-9a-f]{32}0?)",
                                       lines[2] if len(lines) > 2 else "")
                self.assertIsNotNone(created, lines[:3])
                work, run_folder = created.groups()
                self.assertEqual(work, d.SYSTEM_TEMP_WINDOWS)
                system = re.fullmatch(r"Windows (\d+)\.(\d+) build (\d+) (\S+)", lines[1])
                self.assertIsNotNone(system, lines[1])
                windows10 = int(system.group(1)) >= 10
                expected, label = self.expected_log(
                    work, run_folder, "qorvusbd.cat" if windows10 else "qorvusbd.cat.v7")
                self.assertEqual(system.group(4), label)
                expected[1] = lines[1]
                self.assertEqual(lines, expected)
                # The run removed what it unpacked; the probes left nothing behind; the work
                # folder holds the log alone.
                self.assertEqual(sorted(os.listdir(self.tmp)), [d.LOG_NAME])
                self.assertNotIn(run_folder, d.run_folders())
                record = d.read_record(self.record)
                self.assertEqual(record["current_folder"], work + "\\" + run_folder)

    def test_a_log_name_planted_as_a_hard_link_leaves_the_other_file_alone(self):
        launcher = self.launcher("support_101234567890.exe")
        other = os.path.join(self.folder, "someone-elses.dat")
        with open(other, "wb") as f:
            f.write(b"bytes the launcher must not touch")
        log = os.path.join(self.tmp, d.LOG_NAME)
        os.link(other, log)
        self.assertNoBoxes(d.observe(launcher, tmp=self.tmp, env=self.cm_env))
        with open(other, "rb") as f:
            self.assertEqual(f.read(), b"bytes the launcher must not touch")
        self.assertEqual(os.stat(log).st_nlink, 1)
        lines = self.log().split(b"\r\n")
        self.assertEqual(lines[0], (d.PRODUCT + " Version 2.5").encode())
        self.assertEqual(lines[-2:], [b"******* end **********", b""])


if __name__ == "__main__":
    d.main()
