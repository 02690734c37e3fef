"""The Win32 backends no scenario reaches (sound strings, Wine's own dial-up service, the default browser,
the question box, modality): backend_check.exe runs each against a copy of the program folder under a folder
whose name holds a blank and "★", and prints one PASS or FAIL line per check."""

import os
import shutil
import subprocess
import tempfile

from tests.e2e import harness


class BackendCheckTest(harness.SorabuneTestCase):
    def test_every_backend_check_passes(self):
        exe = os.path.join(self.session.build.root, "tests", "e2e", "backend_check", "backend_check.exe")
        self.assertTrue(os.path.isfile(exe), f"no {exe}: build the Windows preset")
        folder = os.path.join(self.test_dir, "Program Files ★", "Sorabune")
        shutil.copytree(self.session.build.dist, folder)
        argv = self.session.wine_argv(exe) + ["Z:" + folder.replace("/", "\\")]
        # Output through a file: Wine's helper processes may inherit a pipe and keep it open.
        with tempfile.TemporaryFile("w+", encoding="utf-8", errors="replace") as out:
            code = subprocess.run(argv, env=self.session.env, stdout=out, stderr=subprocess.DEVNULL,
                                  timeout=120 * self.session.scale).returncode
            out.seek(0)
            lines = [line.rstrip("\r\n") for line in out]
        checks = [line for line in lines if line.startswith(("PASS", "FAIL"))]
        failed = [line for line in checks if line.startswith("FAIL")]
        report = "\n".join(lines)
        self.assertTrue(checks, "backend_check.exe ran no check:\n" + report)
        self.assertEqual(failed, [], report)
        self.assertTrue(any(line.endswith(" failed") for line in lines), "backend_check.exe ended early:\n" + report)
        self.assertEqual(code, 0, report)


if __name__ == "__main__":
    import unittest

    unittest.main()
