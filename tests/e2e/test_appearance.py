"""The settings window and the appearance sequence, worked like a user: the auto-disconnect box saved by the
close box, "少女を出す" bringing the mascot out and "戻す" putting it away, and the space bar at start-up
pressing the hidden "イベント" button. Screenshots of the two windows are kept for a person to look at."""

import os
import re
import subprocess
import time
import unittest

from tests.e2e import harness
from tests.e2e.harness.testcase import artifacts_root

QUILLO = harness.quillo(smtp="smtp.example.jp", pop3="", mail="taro@example.jp", apop=0)
# The growing picture passes its full height after 13 one-second ticks and the 14th shows the mascot.
APPEARANCE_SECONDS = 14
APPEARANCE_TIMEOUT = 20.0
# The "操作" button's height in pixels: the strip of the client area where a focus mark may come and go.
BUTTON_STRIP = 17


def grab_rgb(session, rect):
    """The raw RGB bytes of a part {x, y, w, h} of the virtual screen."""
    argv = ["import", "-display", session.display, "-window", "root",
            "-crop", f"{rect['w']}x{rect['h']}+{rect['x']}+{rect['y']}", "+repage", "-depth", "8", "rgb:-"]
    return subprocess.run(argv, env=session.env, capture_output=True, timeout=30, check=True).stdout


def disconnect_flag(ini_bytes):
    """NUMBER of section EXEINI in ini.ini, as text, or None."""
    if ini_bytes is None:
        return None
    section = None
    for line in ini_bytes.decode("cp932").splitlines():
        line = line.strip()
        if re.fullmatch(r"\[.*\]", line):
            section = line[1:-1].strip().upper()
        elif section == "EXEINI" and "=" in line:
            key, value = line.split("=", 1)
            if key.strip().upper() == "NUMBER":
                return value.strip()
    return None


class AppearanceTest(harness.SorabuneTestCase):
    def main_picture(self, app):
        """The main window's client area below the button strip, where the small picture grows; the
        images are drawn by the window itself, so the screen is the only place to see them."""
        client = dict(app.form("Form2")["client"])
        client["y"] += BUTTON_STRIP
        client["h"] -= BUTTON_STRIP
        return grab_rgb(self.session, client)

    def settled_main_picture(self, app):
        """main_picture once two looks in a row agree, so a paint still under way is not taken."""
        def settled():
            first, second = self.main_picture(app), self.main_picture(app)
            return first if first == second else None

        return app.wait_until(settled, 5, "the main window to finish painting")

    def wait_for_mascot(self, app, since, doing):
        mascot = app.wait_for("Form1", visible=True, timeout=APPEARANCE_TIMEOUT)
        took = time.monotonic() - since
        self.assertTrue(mascot["topmost"], f"the mascot shown after {doing} is not topmost: {mascot}")
        # The picture has to grow first; a mascot out at once means the sequence was skipped.
        self.assertGreater(took, APPEARANCE_SECONDS - 4, f"the mascot came out {took:.1f} s after {doing}")
        return mascot

    def test_check_box_is_saved_when_the_settings_window_is_closed(self):
        # Installed the usual way, under a folder with a blank ("Program Files").
        app = self.launch(ini=harness.profile("EXEINI", NUMBER=0), quillo=QUILLO, blank_in_path=True)
        main = app.wait_for("Form2", visible=True, timeout=45)
        shots = os.path.join(artifacts_root(), "appearance")
        time.sleep(0.5)  # let the first paint finish before the picture is taken
        harness.save_screen(self.session, os.path.join(shots, "main-window.png"), main["rect"])

        app.click("Form2", "Command2")  # 操作
        settings = app.wait_for("SetForm", visible=True)
        self.assertEqual(settings["caption"], "設定")
        self.assertEqual(app.checked("SetForm", "Check1"), 0, "NUMBER=0 leaves the box unticked")
        time.sleep(0.5)
        harness.save_screen(self.session, os.path.join(shots, "settings-window.png"), settings["rect"])
        harness.save_screen(self.session, os.path.join(shots, "settings-over-main-screen.png"))

        app.click("SetForm", "Check1")
        app.wait_until(lambda: app.checked("SetForm", "Check1") == 1, 5, "the box to be ticked by the click")
        self.assertEqual(disconnect_flag(app.read_ini()), "0", "ticking the box alone must not write the file")
        app.close("SetForm")
        app.wait_gone("SetForm", timeout=10)
        self.assertEqual(disconnect_flag(app.read_ini()), "1",
                         f"closing the settings window must save the ticked box; ini.ini holds {app.read_ini()!r}")

        app.click("Form2", "Command2")  # 操作 loads the window afresh from the file
        app.wait_for("SetForm", visible=True)
        self.assertEqual(app.checked("SetForm", "Check1"), 1, "the reopened settings window lost the ticked box")

    def test_girl_button_brings_mascot_out_and_put_back_button_unloads_it(self):
        app = self.launch(ini=harness.profile("EXEINI", NUMBER=0), quillo=QUILLO)
        app.wait_for("Form2", visible=True, timeout=45)
        hidden = app.wait_for("Form1", visible=False)
        self.assertEqual((hidden["rect"]["w"], hidden["rect"]["h"]), (80, 100), "the mascot is loaded at start")

        at_start = self.settled_main_picture(app)

        app.click("Form2", "Command2")  # 操作
        app.wait_for("SetForm", visible=True)
        app.click("SetForm", "Command3")  # 少女を出す
        pressed = time.monotonic()
        app.wait_gone("SetForm", timeout=10)
        self.wait_for_mascot(app, pressed, "少女を出す")

        app.click("Form2", "Command2")  # 操作
        app.wait_for("SetForm", visible=True)
        app.click("SetForm", "Command4")  # 戻す
        app.wait_gone("Form1", timeout=10)
        app.wait_gone("SetForm", timeout=10)
        # A tick still running (one a second, later under load) would grow the picture again or bring the
        # mascot back: two of them and some room.
        time.sleep(2.5 * self.session.scale)
        self.assertIsNone(app.form("Form1"), "the mascot came back after 戻す")
        self.assertTrue(self.main_picture(app) == at_start,
                        "after 戻す the main window should look as it did at start, with the small picture back")

    def test_space_bar_right_after_start_up_starts_the_appearance(self):
        app = self.launch(ini=harness.profile("EXEINI", NUMBER=0), quillo=QUILLO)
        app.wait_for("Form2", visible=True, timeout=45)

        def main_window_focused():
            # Activation comes a moment before the window gives the focus to its first tab stop.
            focus = app.focus()
            return focus if focus.get("form") == "Form2" and focus.get("control") else None

        focus = app.wait_until(main_window_focused, 10, "the main window to be active with a focused control")
        self.assertEqual(focus["control"], "Command1", f"the hidden イベント button should hold the focus: {focus}")
        at_start = self.settled_main_picture(app)
        app.key("space")
        pressed = time.monotonic()
        try:
            app.wait_until(lambda: self.main_picture(app) != at_start, 5, "the small picture to start growing")
        except AssertionError as error:
            raise AssertionError(f"{error}\nfocus before the space bar: {focus}") from None
        self.wait_for_mascot(app, pressed, "the space bar")


if __name__ == "__main__":
    unittest.main()
