#!/usr/bin/env python3
"""Work-folder fallbacks for real: a user temp folder that cannot be written leads to the
system's Temp folder; when that fails too, the volumes are passed over (Wine cannot create files
through a volume GUID path) and the launcher's own folder is chosen. The probes leave nothing.
The run folder always goes to the system's temp folder, whatever the work folder: a user temp
folder reached through a link the user re-points during the run steers nothing.

Changes the prefix's HKCU\\Environment and its C:\\windows\\temp, and puts both back."""

import os
import time

import launcher_driver as d

ENVIRONMENT_KEY = "HKCU\\Environment"
SYSTEM_TEMP = os.path.join(d.DRIVE_C, "windows", "temp")


class WorkFolderFallbacks(d.LauncherTestCase):
    def setUp(self):
        super().setUp()
        # A plain file standing where the user's temp folder should be.
        self.blocker = os.path.join(self.folder, "not-a-folder")
        with open(self.blocker, "wb") as f:
            f.write(b"a file, not a folder\r\n")
        for name in ("TMP", "TEMP"):
            self.addCleanup(d.reg_restore, ENVIRONMENT_KEY, name,
                            d.reg_query(ENVIRONMENT_KEY, name))
        self.set_user_temp(self.blocker)

    def set_user_temp(self, path):
        """What every unelevated program of the user may do: choose the user's temp folder."""
        for name in ("TMP", "TEMP"):
            d.reg_set(ENVIRONMENT_KEY, name, d.windows_path(path))

    def run_launcher(self, launcher):
        # No TMP of our own: the launcher takes the prefix's, as a user's program would.
        run = d.observe(launcher, env=self.cm_env)
        self.assertNoBoxes(run)
        return d.read_record(self.record)

    def test_unwritable_user_temp_leads_to_system_temp(self):
        launcher = self.launcher("support_101234567890.exe")
        log_path = os.path.join(SYSTEM_TEMP, d.LOG_NAME)
        if os.path.exists(log_path):
            os.remove(log_path)
        self.addCleanup(lambda: os.path.exists(log_path) and os.remove(log_path))
        record = self.run_launcher(launcher)
        self.assertIsNotNone(record)
        self.assertTrue(record["current_folder"].lower().startswith("c:\\windows\\temp\\"),
                        record["current_folder"])
        with open(log_path, "rb") as f:
            log = f.read()
        self.assertIn(b"CreateDirectory: " + record["current_folder"].encode() + b"\r\n", log)
        self.assertTrue(log.endswith(b"******* end **********\r\n"))
        self.assertEqual(d.probe_files(SYSTEM_TEMP), [])
        self.assertEqual(d.probe_files(self.folder), [])

    def test_unwritable_system_temp_stops_the_run_with_the_log_in_the_own_folder(self):
        # The log still finds a folder (the launcher's own), but the run folder never goes
        # anywhere but the system's temp folder: the run stops where it would create it.
        launcher = self.launcher(os.path.join("own", "support_101234567890.exe"))
        own = os.path.dirname(launcher)
        saved_temp = SYSTEM_TEMP + ".saved-by-e2e"
        os.rename(SYSTEM_TEMP, saved_temp)
        try:
            with open(SYSTEM_TEMP, "wb") as f:
                f.write(b"a file, not a folder\r\n")
            run = d.observe(launcher, env=self.cm_env)
        finally:
            os.remove(SYSTEM_TEMP)
            os.rename(saved_temp, SYSTEM_TEMP)
        self.assertOneBox(run, "Module: 19 Line 1045 Err 0x3\n", caption="Installation Error",
                          icon=False)
        self.assertIsNone(d.read_record(self.record))
        lines = self.log(own).decode("latin-1").split("\r\n")
        self.assertEqual(lines[-1], "")
        self.assertRegex(lines[-2], r"\ACreateDirectory: C:\\windows\\Temp\\[1-9a-f]{32}0?\Z")
        # Only the launcher and its log remain; nothing was unpacked, no probe file is left.
        self.assertEqual(sorted(os.listdir(own)), sorted([d.LOG_NAME, os.path.basename(launcher)]))
        self.assertEqual(d.probe_files(d.DRIVE_C), [])
        self.assertEqual(d.probe_files(self.folder), [])

    def test_user_temp_through_a_link_repointed_during_the_run_steers_nothing(self):
        # The user's temp folder reached through a link the user owns (a junction on Windows),
        # re-pointed at another folder of the user's as soon as the log appears.
        first, second = os.path.join(self.folder, "first"), os.path.join(self.folder, "second")
        os.makedirs(first)
        os.makedirs(second)
        link = os.path.join(self.folder, "temp-link")
        os.symlink(first, link)
        self.set_user_temp(link)
        launcher = self.launcher("support_101234567890.exe")

        observing = d.start_observing(launcher, env=self.cm_env)
        deadline = time.monotonic() + 60
        while not os.path.exists(os.path.join(first, d.LOG_NAME)) and time.monotonic() < deadline:
            time.sleep(0.001)
        os.symlink(second, link + ".new")
        os.rename(link + ".new", link)
        run = d.finish_observing(observing)

        self.assertNoBoxes(run)
        record = d.read_record(self.record)
        self.assertIsNotNone(record)
        run_folder = record["current_folder"]
        self.assertTrue(run_folder.startswith(d.SYSTEM_TEMP_WINDOWS + "\\"), run_folder)
        # The module's own path as Windows spells the folders on disk.
        self.assertEqual(record["module_path"].lower(),
                         (run_folder + "\\linkmoor-customer-module-gui.exe").lower())
        self.assertEqual(os.listdir(second), [], "nothing of the run lands in the new target")
        self.assertEqual(os.listdir(first), [d.LOG_NAME])
        log = self.log(first)
        self.assertIn(b"\r\nCreateDirectory: " + run_folder.encode() + b"\r\n", log)
        self.assertTrue(log.endswith(b"******* end **********\r\n"), log[-200:])

if __name__ == "__main__":
    d.main()
