#!/usr/bin/env python3
"""The launcher reads its package from its own file by the file's wide name: a launcher in a
folder named outside the ANSI code page (Wine's is 1252 under a UTF-8 locale) runs completely.
Started from a drive letter the session no longer has (a network drive mapped without
elevation), the log says so after "Error: Init installer".

Maps a drive letter of the prefix for a moment and takes it away again."""

import os
import subprocess
import time

import launcher_driver as d

# Cyrillic and Chinese: neither fits code page 1252, so the ANSI calls read "?" for them.
FOLDER = "Загрузки 下载"
DRIVE = "q:"
DOSDEVICES = os.path.join(d.PREFIX, "dosdevices")


class OwnFile(d.LauncherTestCase):
    def test_a_launcher_in_a_folder_named_outside_the_code_page_runs(self):
        launcher = self.launcher(os.path.join(FOLDER, "support_101234567890.exe"))
        env = dict(self.cm_env, LANG="C.UTF-8")
        report = os.path.join(self.folder, "observed")  # the observer writes ANSI names only
        self.assertNoBoxes(d.observe(launcher, tmp=self.tmp, env=env, report=report))
        record = d.read_record(self.record)
        self.assertIsNotNone(record, "the customer module did not run")
        self.assertEqual(record["command_line"], " -technician-id " + d.IDENTIFIER)
        self.assertTrue(self.log().endswith(b"******* end **********\r\n"), self.log()[-200:])

    def test_a_drive_gone_from_the_session_is_named_in_the_log(self):
        mapped = os.path.join(self.folder, "share")
        os.makedirs(mapped)
        probe = os.path.join(mapped, "drive_probe.exe")
        with open(os.path.join(d.ENV["LINKMOOR_E2E_BIN"], "drive_probe.exe"), "rb") as f:
            with open(probe, "wb") as out:
                out.write(f.read())
        link = os.path.join(DOSDEVICES, DRIVE)
        self.assertFalse(os.path.lexists(link), "the drive letter is taken in this prefix")
        os.symlink(mapped, link)
        self.addCleanup(lambda: os.path.lexists(link) and os.remove(link))
        ready, go, log = (os.path.join(self.folder, n) for n in ("ready", "go", "probe.log"))

        started = subprocess.Popen(
            [d.ENV["LINKMOOR_WINE_RUN"], DRIVE.upper() + "\\drive_probe.exe"] +
            [d.windows_path(p) for p in (ready, go, log)],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        deadline = time.time() + 60
        while not os.path.exists(ready) and time.time() < deadline:
            time.sleep(0.05)
        self.assertTrue(os.path.exists(ready), "the probe did not start from the drive")
        os.remove(link)
        open(go, "wb").close()
        output = started.communicate(timeout=120)[0].decode(errors="replace")

        self.assertIn("error 65535 65535 1359", output)  # the own file was not read
        with open(log, "rb") as f:
            self.assertEqual(f.read(), b"Error: Init installer\r\n"
                                       b"Error: Launcher's drive not available: Q:\r\n")


if __name__ == "__main__":
    d.main()
