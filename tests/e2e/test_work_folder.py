#!/usr/bin/env python3
"""Work-folder fallbacks for real: a user temp folder that cannot be written leads to the
system's Temp folder; when that fails too, the volumes are passed over (Wine cannot create files
through a volume GUID path) and the launcher's own folder is chosen. The probes leave nothing.

Changes the prefix's HKCU\\Environment and its C:\\windows\\temp, and puts both back."""

import ntpath
import os

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
        self.saved = {name: d.reg_query(ENVIRONMENT_KEY, name) for name in ("TMP", "TEMP")}
        for name in ("TMP", "TEMP"):
            self.addCleanup(self.restore, name)
            d.reg_set(ENVIRONMENT_KEY, name, d.windows_path(self.blocker))

    def restore(self, name):
        if self.saved[name] is None:
            d.reg_delete(ENVIRONMENT_KEY, name)
        else:
            kind, data = self.saved[name]
            d.reg_set(ENVIRONMENT_KEY, name, data, kind)

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

    def test_unwritable_system_temp_leads_to_own_folder(self):
        launcher = self.launcher(os.path.join("own", "support_101234567890.exe"))
        own = os.path.dirname(launcher)
        saved_temp = SYSTEM_TEMP + ".saved-by-e2e"
        os.rename(SYSTEM_TEMP, saved_temp)
        try:
            with open(SYSTEM_TEMP, "wb") as f:
                f.write(b"a file, not a folder\r\n")
            record = self.run_launcher(launcher)
        finally:
            os.remove(SYSTEM_TEMP)
            os.rename(saved_temp, SYSTEM_TEMP)
        self.assertIsNotNone(record)
        self.assertEqual(ntpath.dirname(record["current_folder"]), d.windows_path(own))
        log = self.log(own)
        self.assertTrue(log.endswith(b"******* end **********\r\n"))
        # Only the launcher and its log remain; no probe file anywhere the probes went.
        self.assertEqual(sorted(os.listdir(own)), sorted([d.LOG_NAME, os.path.basename(launcher)]))
        self.assertEqual(d.probe_files(d.DRIVE_C), [])
        self.assertEqual(d.probe_files(self.folder), [])


if __name__ == "__main__":
    d.main()
