#!/usr/bin/env python3
"""The customer module's environment is the machine's own: variables that the user's unelevated
programs set in HKCU\\Environment reach the launcher but not the module. Its TEMP and TMP lie in
the run folder, OpenSSL's variables name the run folder's empty configuration, its profile
variables are the account's, and the clean-up removes what it left in its TEMP.

Changes the prefix's HKCU\\Environment and puts it back."""

import os

import launcher_driver as d

ENVIRONMENT_KEY = "HKCU\\Environment"
# What a user's program may plant for every program the user starts.
PLANTED = {
    "OPENSSL_CONF": "C:\\users\\Public\\planted.cnf",
    "OPENSSL_MODULES": "C:\\users\\Public",
    "ComSpec": "C:\\users\\Public\\planted.exe",
    "LINKMOOR_TEST_MADE_UP": "planted",
}
PROFILE_VARIABLES = ("USERPROFILE", "APPDATA", "LOCALAPPDATA", "HOMEDRIVE", "HOMEPATH",
                     "USERNAME", "USERDOMAIN", "COMPUTERNAME")


def variables(record, prefix):
    """{NAME in upper case: value} of the record's lines that start with `prefix`."""
    return {key[len(prefix):].upper(): value for key, value in record.items()
            if key.startswith(prefix)}


class ModuleEnvironment(d.LauncherTestCase):
    def setUp(self):
        super().setUp()
        for name, value in PLANTED.items():
            saved = d.reg_query(ENVIRONMENT_KEY, name)
            self.addCleanup(d.reg_restore, ENVIRONMENT_KEY, name, saved)
            d.reg_set(ENVIRONMENT_KEY, name, value)

    def test_nothing_the_user_chose_reaches_the_module(self):
        launcher = self.launcher("support_101234567890.exe")
        self.assertNoBoxes(d.observe(launcher, tmp=self.tmp, env=self.cm_env))
        record = d.read_record(self.record)
        self.assertIsNotNone(record, "the customer module did not run")
        run_folder = record["current_folder"]
        own = variables(record, "env.")
        launcher_env = variables(record, "launcher_env.")

        # The plant works: the launcher has every variable; the module none of them.
        for name, value in PLANTED.items():
            with self.subTest(name=name):
                self.assertEqual(launcher_env.get(name.upper()), value)
                self.assertNotEqual(own.get(name.upper()), value)
        self.assertNotIn("LINKMOOR_TEST_MADE_UP", own)
        self.assertEqual(launcher_env.get("TMP"), d.windows_path(self.tmp))
        self.assertTrue(own["COMSPEC"].lower().endswith("\\system32\\cmd.exe"), own["COMSPEC"])

        # Its own folders, inside the run folder.
        for name in ("TEMP", "TMP"):
            self.assertEqual(own.get(name), run_folder + "\\temp", name)
        self.assertEqual(record["temp_file_written"], "1")
        self.assertEqual(own.get("OPENSSL_CONF"), run_folder + "\\openssl\\openssl.cnf")
        for name in ("OPENSSL_MODULES", "OPENSSL_ENGINES"):
            self.assertEqual(own.get(name), run_folder + "\\openssl", name)

        # The account's profile, from the system's own queries.
        for name in PROFILE_VARIABLES:
            self.assertTrue(own.get(name), name)
        self.assertEqual(own["HOMEDRIVE"] + own["HOMEPATH"], own["USERPROFILE"])
        self.assertTrue(own["APPDATA"].startswith(own["USERPROFILE"] + "\\"), own["APPDATA"])

        # A complete run: the clean-up took the module's leftover and its folders with the run
        # folder, and the log says nothing of them.
        log = self.log()
        self.assertTrue(log.endswith(b"DeleteDirectory: " + run_folder.encode() +
                                     b"\r\n******* end **********\r\n"), log[-200:])
        self.assertNotIn(b"\\temp", log)
        self.assertNotIn(b"openssl.cnf", log)
        self.assertFalse(os.path.exists(os.path.join(d.SYSTEM_TEMP, run_folder.split("\\")[-1])))


if __name__ == "__main__":
    d.main()
