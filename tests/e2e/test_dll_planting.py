#!/usr/bin/env python3
"""DLLs planted beside the launcher under the names of system DLLs it loads at run time
(msi.dll, newdev.dll) are never loaded, even with Wine told to prefer such files over its own;
a program in the same folder that loads them by bare name does load them, so the plant works."""

import os
import shutil

import launcher_driver as d

PLANTED = ("msi.dll", "newdev.dll")
PREFER_PLANTED = {"LINKMOOR_WINEDLLOVERRIDES": "msi,newdev=n,b"}


class PlantedLibraries(d.LauncherTestCase):
    def setUp(self):
        super().setUp()
        for name in PLANTED:
            shutil.copy(os.path.join(d.ENV["LINKMOOR_E2E_BIN"], name), self.folder)
        shutil.copy(os.path.join(d.ENV["LINKMOOR_E2E_BIN"], "bare_loader.exe"), self.folder)

    def markers(self):
        return sorted(n for n in os.listdir(self.folder) if n.endswith(".ran"))

    def test_launcher_loads_no_planted_library(self):
        launcher = self.launcher("support_101234567890.exe")
        run = d.observe(launcher, tmp=self.tmp, env=dict(self.cm_env, **PREFER_PLANTED))
        self.assertNoBoxes(run)
        self.assertIsNotNone(d.read_record(self.record), "the run did not get to the launch")
        self.assertEqual(self.markers(), [])

    def test_bare_name_load_from_that_folder_takes_the_planted_library(self):
        loader = os.path.join(self.folder, "bare_loader.exe")
        for name in PLANTED:
            result = d.wine(d.windows_path(loader), name, env=PREFER_PLANTED)
            self.assertEqual(result.returncode, 0, result.stdout)
        self.assertEqual(self.markers(), sorted(n + ".ran" for n in PLANTED))


if __name__ == "__main__":
    d.main()
