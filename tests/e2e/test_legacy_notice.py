#!/usr/bin/env python3
"""The legacy notice on Windows XP (Wine's per-program version for the launcher's file name):
"Open Website" opens the legacy page through the registered URL handler, "Close" just ends;
neither writes anything to disk. Changes the http and https URL handlers and puts them back."""

import os
import time

import launcher_driver as d

NAME = "legacy_101234567890.exe"
APP_DEFAULTS = "HKCU\\Software\\Wine\\AppDefaults\\" + NAME
HANDLERS = ["HKCR\\%s\\shell\\open\\command" % scheme for scheme in ("http", "https")]
TEXT = ("This version of the program is designed to run on Windows Vista or newer.\n"
        "If you need to use it on Windows XP or Windows 2003 Server,\n"
        "please visit our website to download a legacy version.")
PAGE = "https://www.fernhollow.example/linkmoor-technician-legacy.html"


class LegacyNotice(d.LauncherTestCase):
    def setUp(self):
        super().setUp()
        d.reg_set(APP_DEFAULTS, "Version", "winxp")
        self.addCleanup(d.reg_delete, APP_DEFAULTS)
        recorder = os.path.join(d.ENV["LINKMOOR_E2E_BIN"], "url_recorder.exe")
        for key in HANDLERS:
            saved = d.reg_query(key, None)
            self.addCleanup(d.reg_restore, key, None, saved)
            d.reg_set(key, None, '"%s" "%%1"' % d.windows_path(recorder))
        self.url_record = os.path.join(self.folder, "url.txt")
        self.env = dict(self.cm_env, LINKMOOR_TEST_URL_RECORD=d.windows_path(self.url_record))

    def show_and_press(self, label):
        launcher = self.launcher(NAME)
        run = d.observe(launcher, press=label, tmp=self.tmp, env=self.env)
        self.assertEqual(len(run.boxes), 1, run.boxes)
        box = run.boxes[0]
        self.assertEqual(box["text"], TEXT)
        self.assertEqual(box["caption"], d.PRODUCT)
        self.assertEqual(box["icon"], "1")
        self.assertEqual(box["buttons"], [(6, "Open Website"), (7, "Close")])
        self.assertEqual(box["pressed"], label)
        self.assertEqual(run.exit, "0")
        # Nothing written: no log, no work folder, no run; the launcher's folder as it was.
        self.assertEqual(os.listdir(self.tmp), [])
        self.assertIsNone(d.read_record(self.record))
        left = sorted(n for n in os.listdir(self.folder) if n != os.path.basename(self.url_record))
        self.assertEqual(left, sorted(["tmp", NAME]))

    def test_open_website_opens_the_legacy_page(self):
        self.show_and_press("Open Website")
        deadline = time.time() + 20
        while not os.path.exists(self.url_record) and time.time() < deadline:
            time.sleep(0.1)
        with open(self.url_record, encoding="latin-1") as f:
            command_line = f.read()
        self.assertTrue(command_line.endswith('"%s"' % PAGE), command_line)

    def test_close_ends_without_opening_anything(self):
        self.show_and_press("Close")
        time.sleep(1)
        self.assertFalse(os.path.exists(self.url_record))


if __name__ == "__main__":
    d.main()
