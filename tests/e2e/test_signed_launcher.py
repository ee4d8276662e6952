#!/usr/bin/env python3
"""A launcher signed after its package was appended (a self-signed certificate made here)
still finds its package and runs."""

import os
import subprocess

import launcher_driver as d


class SignedLauncher(d.LauncherTestCase):
    def test_signed_after_appending_still_runs(self):
        unsigned = self.launcher("unsigned.exe")
        key = os.path.join(self.folder, "key.pem")
        cert = os.path.join(self.folder, "cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=Linkmoor test signing", "-keyout", key, "-out", cert],
                       check=True, capture_output=True)
        signed = os.path.join(self.folder, "support_101234567890.exe")
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key,
                        "-in", unsigned, "-out", signed], check=True, capture_output=True)
        with open(unsigned, "rb") as f:
            unsigned_bytes = f.read()
        with open(signed, "rb") as f:
            signed_bytes = f.read()
        # The signature follows the package at the end of the file.
        self.assertGreater(len(signed_bytes), len(unsigned_bytes))
        self.assertNotEqual(signed_bytes[-64:], unsigned_bytes[-64:])

        run = d.observe(signed, tmp=self.tmp, env=self.cm_env)
        self.assertNoBoxes(run)
        record = d.read_record(self.record)
        self.assertIsNotNone(record)
        self.assertEqual(record["command_line"], " -technician-id " + d.IDENTIFIER)
        self.assertTrue(self.log().endswith(b"******* end **********\r\n"))


if __name__ == "__main__":
    d.main()
