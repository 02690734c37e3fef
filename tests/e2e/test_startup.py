"""Start-up and orderly end of the real program: main window, hidden settings window, close box; a DLL
planted beside the program under the name of one it loads on first use is never taken."""

import os
import shutil
import time
import unittest

from tests.e2e import harness

INI = "[EXEINI]\r\nNUMBER=1\r\n"
QUILLO = harness.quillo(smtp="smtp.example.jp", pop3="127.0.0.1", mail="taro@example.jp", apop=0)


class StartupTest(harness.SorabuneTestCase):
    def test_main_window_opens_centred_and_close_box_ends_program(self):
        app = self.launch(ini=INI, quillo=QUILLO, start=False)
        # As in a Downloads folder: a winmm.dll beside the exe, and Wine told to prefer such a DLL. The close
        # sends "close MIDIFILE" through winmm, which must come from the system folder.
        planted = os.path.join(self.session.build.root, "tests", "e2e", "standins", "winmm.dll")
        shutil.copy(planted, app.program_dir)
        app.env = dict(app.env, WINEDLLOVERRIDES=app.env["WINEDLLOVERRIDES"] + ";winmm=n,b")
        main = app.start().wait_for("Form2", visible=True, timeout=45)
        self.assertEqual(main["caption"], "Velmora・・・")
        self.assertCentredOnScreen(main)

        settings = app.wait_for("SetForm", visible=None)
        self.assertFalse(settings["visible"], "the settings window is loaded hidden at start-up")

        pid = app.pid
        app.close("Form2")
        closed_at = time.monotonic()
        limit = 5 * self.session.scale
        self.assertTrue(app.call("wait_exit", pid, int(limit * 1000))["exited"],
                        f"the process is still there {limit:.0f} s after the close")
        self.assertEqual(app.wait_exit(timeout=10), 0)
        self.assertLess(time.monotonic() - closed_at, limit, "the program should end promptly")
        self.assertEqual(app.read_ini(), INI.encode("cp932"), "ini.ini must not be rewritten by the close")
        self.assertFalse(os.path.exists(os.path.join(app.program_dir, "planted-dll-loaded.txt")),
                         "the winmm.dll beside the program was loaded")


if __name__ == "__main__":
    unittest.main()
