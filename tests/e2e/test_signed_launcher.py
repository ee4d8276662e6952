#!/usr/bin/env python3
"""A launcher signed after its package was appended (a self-signed certificate made here)
still finds its package and runs; a package appended after the signature is refused."""

import os
import subprocess

import launcher_driver as d


class SignedLauncher(d.LauncherTestCase):
    def sign(self, unsigned, signed):
        key = os.path.join(self.folder, "key.pem")
        cert = os.path.join(self.folder, "cert.pem")
        if not os.path.exists(cert):
            subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days",
                            "2", "-subj", "/CN=Linkmoor test signing", "-keyout", key,
                            "-out", cert], check=True, capture_output=True)
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key,
                        "-in", unsigned, "-out", signed], check=True, capture_output=True)

    def test_signed_after_appending_still_runs(self):
        unsigned = self.launcher("unsigned.exe")
        signed = os.path.join(self.folder, "support_101234567890.exe")
        self.sign(unsigned, signed)
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

    def test_package_appended_after_signing_is_refused_as_damaged(self):
        # The signature does not cover what follows it, while Windows still shows the file as
        # signed: such a package could come from anyone.
        bare = self.launcher("bare.exe", package=False)
        signed = os.path.join(self.folder, "bare-signed.exe")
        self.sign(bare, signed)
        launcher = os.path.join(self.folder, "support_101234567890.exe")
        with open(signed, "rb") as f:
            data = f.read()
        with open(launcher, "wb") as f:
            f.write(data + d.make_package.package_bytes(d.package_entries(), 0x5C))
        run = d.observe(launcher, tmp=self.tmp, env=self.cm_env)
        self.assertOneBox(run, "Installation package is damaged.")
        self.assertIsNone(d.read_record(self.record))
        self.assertEqual(sorted(os.listdir(self.tmp)), [d.LOG_NAME])
        self.assertEqual(self.log(), b"Error: Init installer\r\n")


if __name__ == "__main__":
    d.main()
