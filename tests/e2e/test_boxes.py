#!/usr/bin/env python3
"""Message boxes of failed runs, read and pressed from outside; the exit code stays 0."""

import os

import launcher_driver as d

DAMAGED = "Installation package is damaged."


class PackageBoxes(d.LauncherTestCase):
    def test_launcher_without_a_package(self):
        launcher = self.launcher("support_101234567890.exe", package=False)
        before = d.run_folders()
        run = d.observe(launcher, tmp=self.tmp, env=self.cm_env)
        self.assertOneBox(run, DAMAGED)
        self.assertIsNone(d.read_record(self.record))
        self.assertEqual(d.run_folders(), before)
        self.assertEqual(os.listdir(self.tmp), [d.LOG_NAME])

    def test_package_with_one_changed_byte(self):
        for where in ("last byte", "first body byte"):
            with self.subTest(where=where):
                launcher = os.path.join(self.folder, "support_101234567890.exe")
                data = bytearray(d.build_launcher(launcher))
                if where == "last byte":
                    index = len(data) - 1
                else:  # the first byte after the 88-byte header
                    index = bytes(data).rindex(d.make_package.MAGIC) + 88
                data[index] ^= 0x01
                with open(launcher, "wb") as f:
                    f.write(data)
                before = d.run_folders()
                run = d.observe(launcher, tmp=self.tmp, env=self.cm_env)
                self.assertOneBox(run, DAMAGED)
                self.assertIsNone(d.read_record(self.record))
                self.assertEqual(d.run_folders(), before)


class LaunchFailureBoxes(d.LauncherTestCase):
    def test_customer_module_that_is_no_program(self):
        entries = d.package_entries(gui_contents=b"this is not a Windows program\r\n" * 8)
        for name, line in (("support_101234567890.exe", 168), ("support.exe", 186)):
            with self.subTest(name=name):
                d.shutil.rmtree(self.tmp)
                os.makedirs(self.tmp)
                launcher = self.launcher(name, entries=entries)
                run = d.observe(launcher, tmp=self.tmp, env=self.cm_env)
                self.assertEqual(len(run.boxes), 1, run.boxes)
                box = run.boxes[0]
                self.assertRegex(box["text"], r"\AModule: 0 Line %d Err 0x[1-9a-f][0-9a-f]*\n\Z"
                                 % line)
                self.assertEqual(box["caption"], "Installation Error")
                self.assertEqual(box["icon"], "0")
                self.assertEqual(box["buttons"], [(1, "OK")])
                self.assertEqual(run.exit, "0")
                # After a failure the unpacked files stay in the run folder in the system's temp
                # folder; the work folder holds the log alone, which tells up to the launch.
                self.assertEqual(os.listdir(self.tmp), [d.LOG_NAME])
                log = self.log()
                name = d.run_folder_in_log(log)
                self.assertIsNotNone(name, log[:300])
                folder = os.path.join(d.SYSTEM_TEMP, name)
                # Wine keeps the run folder's protected access list as mode bits: nothing for
                # other users, unlike the system's temp folder around it.
                self.assertEqual(os.stat(folder).st_mode & 0o007, 0)
                self.assertNotEqual(os.stat(d.SYSTEM_TEMP).st_mode & 0o007, 0)
                self.assertIn("linkmoor-customer-module-gui.exe", os.listdir(folder))
                launch = (b"Launch path: " + d.SYSTEM_TEMP_WINDOWS.encode() + b"\\" +
                          name.encode() + b"\\linkmoor-customer-module-gui.exe\r\n")
                ending = launch + (b"id: 101234567890\r\n" if line == 168 else launch)
                self.assertTrue(log.endswith(b"******* launch CM **********\r\n" + ending),
                                log[-300:])

if __name__ == "__main__":
    d.main()
