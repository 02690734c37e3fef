"""One copy of Sorabune.exe under test: its own program folder and working directory, the running
process, and the driver through which the test sees and works its windows."""

import os
import shutil
import subprocess
import time

from . import files
from .driver import Driver, DriverError, _die_with_parent, poll
from .environment import LOCALES, SCREEN

MAIL_DATA = "★MailData"
DEFAULT_TIMEOUT = 15.0
START_TIMEOUT = 45.0


class App:
    def __init__(self, session, directory, folder_name="Sorabune", cwd="work", mail_data=True, code_page=932,
                 winedebug=None):
        self.session = session
        self.code_page, self.winedebug = code_page, winedebug  # WINEDEBUG for the program alone: program.log
        self.directory = directory
        self.program_dir = os.path.join(directory, folder_name)
        shutil.copytree(session.build.dist, self.program_dir, ignore=shutil.ignore_patterns("sbdriver*"))
        self.exe = os.path.join(self.program_dir, "Sorabune.exe")
        self.mail_data_dir = os.path.join(self.program_dir, MAIL_DATA)
        if mail_data:
            os.makedirs(self.mail_data_dir, exist_ok=True)
        else:
            shutil.rmtree(self.mail_data_dir, ignore_errors=True)
        if cwd == "program":
            self.work_dir = self.program_dir
        elif os.path.isabs(cwd):
            self.work_dir = cwd
        else:
            self.work_dir = os.path.join(directory, cwd)
        os.makedirs(self.work_dir, exist_ok=True)
        self.ini_path = os.path.join(self.mail_data_dir, "ini.ini")
        self.id_pass_path = os.path.join(self.mail_data_dir, "iniIdPass.ini")
        self.quillo_path = os.path.join(self.work_dir, "quillo.ini")
        self.log_path = os.path.join(directory, "program.log")
        self.driver_log_path = os.path.join(directory, "driver.log")
        self.proc = None
        self._driver = None
        self._log = None
        self.started_at = None
        self.evidence_dir = directory  # where fail() leaves its screenshot; the test case points it elsewhere
        self._env = session.env  # the program's environment; a test may give one run its own DLL overrides

    # ----- settings files -------------------------------------------------------------------------------
    def write_ini(self, content):
        files.write_cp932(self.ini_path, content)

    def write_id_pass(self, content):
        files.write_cp932(self.id_pass_path, content)

    def write_quillo(self, content, folder=None):
        files.write_cp932(os.path.join(folder or self.work_dir, "quillo.ini"), content)

    def read_ini(self):
        return files.read_bytes(self.ini_path)

    def read_id_pass(self):
        return files.read_bytes(self.id_pass_path)

    def read_quillo(self):
        return files.read_bytes(self.quillo_path)

    # ----- process --------------------------------------------------------------------------------------
    def start(self):
        """Starts Sorabune.exe (cwd = work_dir) and the driver; returns at once, without waiting for windows.
        May be called again once the program has ended: a restart on the same folders and files."""
        if self.alive():
            raise AssertionError("the program is still running")
        if self._log:
            self._log.close()
        self._log = open(self.log_path, "ab")
        self.started_at = time.monotonic()
        env = dict(self.env, **({"WINEDEBUG": self.winedebug} if self.winedebug else {}))
        self.proc = subprocess.Popen(self.session.wine_argv(self.exe), cwd=self.work_dir, env=env,
                                     stdin=subprocess.DEVNULL, stdout=self._log, stderr=self._log,
                                     preexec_fn=_die_with_parent)
        ready = self.driver.ready  # the driver runs in the program's locale: its code page is the program's
        if ready.get("acp") != self.code_page:
            raise AssertionError(f"Wine runs with ANSI code page {ready.get('acp')}, not {self.code_page}; is "
                                 f"the locale {self.env['LANG']} installed?")
        if (ready.get("w"), ready.get("h")) != SCREEN:
            raise AssertionError(f"the Wine desktop is {ready.get('w')}x{ready.get('h')}, not {SCREEN[0]}x{SCREEN[1]}; "
                                 "the default-desktop registry settings did not take")
        return self

    @property
    def env(self):
        locale = LOCALES[self.code_page]
        return dict(self._env, LANG=locale, LC_ALL=locale)

    @env.setter
    def env(self, value):
        self._env = value

    @property
    def driver(self):
        """The driver, restarted when the previous one stopped answering."""
        if self._driver is None or self._driver.broken:
            if self._driver is not None:
                self._driver.close()
            self._driver = Driver(self.session.wine_argv(self.session.build.driver), self.env,
                                  self.directory, self.driver_log_path, START_TIMEOUT * self.session.scale)
        return self._driver

    def call(self, command, *args, timeout=30.0, check=True):
        """Raw driver command (see the command list in harness/__init__.py)."""
        return self.driver.call(command, *args, timeout=timeout * self.session.scale, check=check)

    def alive(self):
        return self.proc is not None and self.proc.poll() is None

    @property
    def pid(self):
        """The program's Windows process id, as the driver sees it."""
        return self.call("pid")["pid"]

    def wait_exit(self, timeout=DEFAULT_TIMEOUT):
        """Waits for the program's process to end and returns its exit status; fails after timeout seconds."""
        try:
            return self.proc.wait(timeout=timeout * self.session.scale)
        except subprocess.TimeoutExpired:
            self.fail(f"the program did not end within {timeout:.0f} s")

    def stop(self):
        """Ends the driver and, when still running, the program."""
        if self._driver is not None:
            self._driver.close()
            self._driver = None
        if self.alive():
            self.proc.kill()
        if self.proc is not None:
            try:
                self.proc.wait(timeout=20)
            except subprocess.TimeoutExpired:
                pass
        if self._log:
            self._log.close()
            self._log = None

    # ----- looking --------------------------------------------------------------------------------------
    def info(self):
        return self.call("info")

    def forms(self):
        return self.call("forms")["forms"]

    def form(self, name):
        """The form's state as a dict, or None when it is not loaded."""
        reply = self.call("form", name, check=False)
        return reply if reply.get("ok") else None

    def controls(self, form):
        return self.call("controls", form)["controls"]

    def control(self, form, name):
        return self.call("control", form, name)

    def text(self, form, name):
        return self.control(form, name)["text"]

    def checked(self, form, name):
        return self.control(form, name)["check"]

    def focus(self):
        return self.call("focus")

    def region(self, form):
        return self.call("region", form)

    def msgboxes(self):
        return [box for box in self.call("msgbox")["boxes"] if box["visible"]]

    def at(self, x, y):
        return self.call("at", x, y)

    def pixel(self, x, y):
        reply = self.call("pixel", x, y)
        return reply["r"], reply["g"], reply["b"]

    def windows(self):
        return self.call("windows")["windows"]

    # ----- waiting --------------------------------------------------------------------------------------
    def wait_until(self, predicate, timeout=DEFAULT_TIMEOUT, message="condition", interval=0.1):
        """Polls predicate until it returns something truthy and returns that; fails after timeout seconds."""
        value = poll(predicate, timeout * self.session.scale, interval)
        if not value:
            self.fail(f"timed out after {timeout:.0f} s waiting for {message}")
        return value

    def wait_topmost(self, form, timeout=DEFAULT_TIMEOUT):
        """Waits until the form is shown and topmost; returns its state. A window made topmost and shown in
        one call may be seen from another process for a moment as shown but not yet topmost."""
        return self.wait_until(lambda: (lambda f: f if f and f["visible"] and f["topmost"] else None)(self.form(form)),
                               timeout, f"{form} to be shown and topmost")

    def wait_focus(self, control, timeout=DEFAULT_TIMEOUT):
        """Waits until `control` holds the keyboard focus: a window takes it a moment after it shows."""
        return self.wait_until(lambda: self.focus()["control"] == control, timeout, f"the focus on {control}")

    def wait_for(self, form, visible=True, timeout=DEFAULT_TIMEOUT):
        """Waits until the form is loaded and (visible=True) shown or (visible=False) hidden, or just loaded
        (visible=None); returns its state."""
        def seen():
            state = self.form(form)
            if state is None:
                self._require_alive(f"waiting for {form}")
                return None
            return state if visible is None or state["visible"] == visible else None

        what = {True: "visible", False: "hidden", None: "loaded"}[visible]
        return self.wait_until(seen, timeout, f"{form} to be {what}")

    def wait_gone(self, form, timeout=DEFAULT_TIMEOUT):
        """Waits until the form is unloaded (no window any more)."""
        self.wait_until(lambda: self.form(form) is None, timeout, f"{form} to be unloaded")

    def wait_text(self, form, control, expected, timeout=DEFAULT_TIMEOUT):
        self.wait_until(lambda: self.form(form) is not None and self.text(form, control) == expected, timeout,
                        f"{form}.{control} to read {expected!r}")

    def wait_msgbox(self, title=None, timeout=DEFAULT_TIMEOUT):
        """Waits for a visible message box of the program (with that title, when given) and returns it.
        Wine shows the box a moment before its text is filled in, so a box counts once it reads the same
        on two polls in a row."""
        last = {}

        def seen():
            for box in self.msgboxes():
                if (title is None or box["title"] == title) and box["buttons"]:
                    content = (box["title"], box["text"], [b["text"] for b in box["buttons"]])
                    settled = last.get(box["hwnd"]) == content
                    last[box["hwnd"]] = content
                    return box if settled else None
            self._require_alive("waiting for a message box")
            return None

        return self.wait_until(seen, timeout, f"message box {title or ''}".strip())

    def _require_alive(self, doing):
        if not self.alive():
            self.fail(f"the program ended (status {self.proc.poll()}) while {doing}")

    # ----- acting ---------------------------------------------------------------------------------------
    def click(self, form, control, button="left", activate=True, wait_uncovered=5.0):
        """A real mouse click at the control's centre, after bringing its form to the foreground.
        While another window (say the wandering mascot) covers that point, the click waits up to
        wait_uncovered seconds for it to move away instead of landing on it."""
        args = [form, control, button] + ([] if activate else ["noactivate"])
        deadline = time.monotonic() + wait_uncovered * self.session.scale
        while True:
            try:
                return self.call("click", *args)
            except DriverError as error:
                if "is covered by" not in str(error) or time.monotonic() >= deadline:
                    raise
            time.sleep(0.1)

    def click_at(self, x, y, button="left"):
        return self.call("click_at", x, y, button)

    def mouse_down(self, x, y, button="left"):
        return self.call("mouse_down", x, y, button)

    def mouse_up(self, x, y, button="left"):
        return self.call("mouse_up", x, y, button)

    def mouse_move(self, x, y):
        return self.call("mouse_move", x, y)

    def drag(self, x1, y1, x2, y2, steps=10, button="left"):
        return self.call("drag", x1, y1, x2, y2, steps, button)

    def key(self, *chords, form=None):
        """Presses keys in order: key("tab"), key("shift+tab", "enter"). form= activates that form first."""
        if form:
            self.activate(form)
        return self.call("key", *chords)

    def type(self, text, form=None):
        if form:
            self.activate(form)
        return self.call("type", text)

    def close(self, form):
        """The form's close box: WM_SYSCOMMAND SC_CLOSE."""
        return self.call("close", form)

    def activate(self, form):
        return self.call("activate", form)

    def press_msgbox(self, caption):
        """Clicks the message-box button whose caption is caption ("はい" matches "はい(&Y)")."""
        return self.call("msgbox_press", caption)

    # ----- evidence -------------------------------------------------------------------------------------
    def screenshot(self, path=None):
        """Saves the whole screen as PNG (default: a new file in evidence_dir) and returns its path."""
        if path is None:
            os.makedirs(self.evidence_dir, exist_ok=True)
            path = os.path.join(self.evidence_dir, f"screen-{time.strftime('%H%M%S')}-{time.monotonic_ns() % 1000}.png")
        return path if self.session.screenshot(path) else None

    def fail(self, message):
        """Fails the test with what the screen and the program's windows looked like at that moment."""
        details = [message]
        shot = self.screenshot()
        if shot:
            details.append(f"screenshot: {shot}")
        try:
            for form in self.forms():
                details.append(f"  {form['name']}: visible={form['visible']} topmost={form['topmost']} "
                               f"rect={form['rect']} caption={form['caption']!r}")
            for box in self.msgboxes():
                details.append(f"  message box {box['title']!r}: {box['text']!r}")
        except DriverError as error:
            details.append(f"  (driver: {error})")
        raise AssertionError("\n".join(details))


def open_settings(app):
    """The main window's 操作 button, clicked once the main window is up; returns the settings window."""
    app.wait_for("Form2", timeout=45)
    app.click("Form2", "Command2")
    return app.wait_for("SetForm")
