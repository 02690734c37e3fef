"""The first run as a newcomer meets it: scripts/run.sh makes a fresh Wine prefix and its own virtual display,
starts the demo, and Ctrl+C ends it. 作者 → はい hands the about page to the desktop's browser (a stand-in
that notes what it was given) and the program stays responsive; the demo checks its own mailbox; the user's
own settings (what --no-demo uses) come out byte for byte as they were; and nothing run.sh started is left.
Screenshots of the windows are kept for a person to look at."""

import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest

from tests.e2e import harness
from tests.e2e.harness.driver import poll
from tests.e2e.harness.environment import LOCALE, REPO, Build, Session, skip, timeout_scale
from tests.e2e.harness.testcase import artifacts_root
from tests.e2e.test_appearance import save_screen

RUN_SH = os.path.join(REPO, "scripts", "run.sh")
# A user's own settings, which the demo must leave alone.
USER_ID_PASS = b"[EXEINI]\r\nNAME=taro\r\nNAME2=\r\nNAME2PROTECTED=AQAAAA==\r\nNAME3=1\r\n"
USER_QUILLO = b"SMTP=\r\nPOP3=pop3s://pop.example.jp\r\nMAIL=taro@example.jp\r\nAPOP=0\r\n"
# What run.sh may print; anything else (an error, a sound driver's complaint) fails the test.
EXPECTED_OUTPUT = ("Preparing the Wine prefix ", "No display: started a virtual one ", "Demo mailbox: ", "Press 操作")


def two_free_ports():
    """A port whose next one is free as well: the demo serves STLS on the first and TLS on the second."""
    for _ in range(50):
        port = harness.pop3.free_port()
        try:
            with socket.socket() as s:
                s.bind(("127.0.0.1", port + 1))
            return port
        except OSError:
            continue
    raise RuntimeError("no two free ports in a row")


class RunShDisplay:
    """What an App needs of a session, for the program that run.sh started on its own display and prefix:
    the driver joins run.sh's virtual desktop."""

    screenshot = Session.screenshot

    def __init__(self, build, display, run_env):
        self.build, self.display, self.scale = build, display, timeout_scale()
        # The same TMPDIR as well: Wine finds the prefix's server through a folder under it.
        self.env = dict(run_env, DISPLAY=display, WINEPREFIX=os.path.join(run_env["XDG_DATA_HOME"], "sorabune", "wineprefix"),
                        WINEDEBUG="-all", LANG=LOCALE, LC_ALL=LOCALE)

    def wine_argv(self, exe):
        return ["wine", "explorer", "/desktop=Sorabune,1024x768", exe]


def snapshot(folder):
    """{relative path: bytes} of every file under folder."""
    found = {}
    for parent, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(parent, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, folder)] = f.read()
    return found


def read_proc(pid, part):
    try:
        with open(f"/proc/{pid}/{part}", "rb") as f:
            return f.read()
    except OSError:
        return b""


def processes_naming(text):
    """Processes whose command line or environment holds text."""
    return [pid for pid in filter(str.isdigit, os.listdir("/proc"))
            if any(text.encode() in read_proc(pid, part) for part in ("cmdline", "environ"))]


class FirstRunTest(unittest.TestCase):
    def setUp(self):
        self.build = Build()
        for tool in ("wine", "wineserver", "Xvfb", "openssl", "setsid"):
            if not shutil.which(tool):
                skip(f"{tool} is not installed")
        if not (shutil.which("dovecot") or os.path.exists("/usr/sbin/dovecot")):
            skip("dovecot is not installed")
        self.build.check()
        self.root = tempfile.mkdtemp(prefix="sorabune-first-run-")
        os.chmod(self.root, 0o755)  # Dovecot's own users reach the demo mailbox below it
        if not os.environ.get("SORABUNE_E2E_KEEP"):
            self.addCleanup(shutil.rmtree, self.root, True)
        self.data = os.path.join(self.root, "data")
        self.prefix = os.path.join(self.data, "sorabune", "wineprefix")
        self.shots = os.path.join(artifacts_root(), "first-run")

    def start_run_sh(self):
        tmp = os.path.join(self.root, "tmp")
        bin_dir = os.path.join(self.root, "bin")
        os.makedirs(tmp, mode=0o755)
        os.makedirs(bin_dir)
        self.browser_log = os.path.join(self.root, "browser.log")
        browser = os.path.join(bin_dir, "xdg-open")
        with open(browser, "w") as f:
            f.write(f'#!/bin/sh\nprintf "%s\\n" "$@" >>"{self.browser_log}"\n')
        os.chmod(browser, 0o755)
        env = {k: v for k, v in os.environ.items() if not k.startswith(("WINE", "LC_")) and k != "DISPLAY"}
        env.update(XDG_DATA_HOME=self.data, TMPDIR=tmp, PATH=bin_dir + os.pathsep + env.get("PATH", ""),
                   SORABUNE_DEMO_PORT=str(two_free_ports()), SORABUNE_WINDOWS_BUILD=self.build.root)
        self.mailbox = os.path.join(tmp, f"sorabune-demo-mailbox-{os.getuid()}")
        self.output_path = os.path.join(self.root, "run.out")
        self.run_env = env
        with open(self.output_path, "wb") as output:
            # A session of its own, like a terminal's foreground job, so that Ctrl+C can reach all of it.
            proc = subprocess.Popen(["bash", RUN_SH, "--no-build"], env=env, stdin=subprocess.DEVNULL, stdout=output,
                                    stderr=subprocess.STDOUT, start_new_session=True)
        self.addCleanup(self.kill_leftovers, proc)
        return proc

    def output(self):
        with open(self.output_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def kill_leftovers(self, proc):
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
        subprocess.run(["wineserver", "-k"], env=dict(self.run_env, WINEPREFIX=self.prefix), capture_output=True)
        subprocess.run(["bash", os.path.join(REPO, "tests", "dovecot", "stop_dovecot.sh"), self.mailbox],
                       capture_output=True)
        for pid in processes_naming(self.root):
            try:
                os.kill(int(pid), signal.SIGKILL)
            except OSError:
                pass

    def test_demo_from_a_fresh_prefix_then_ctrl_c(self):
        user_program = os.path.join(self.data, "sorabune", "program")
        user_work = os.path.join(self.data, "sorabune", "work")
        harness.write_cp932(os.path.join(user_program, "★MailData", "iniIdPass.ini"), USER_ID_PASS)
        harness.write_cp932(os.path.join(user_work, "quillo.ini"), USER_QUILLO)
        before = {"program": snapshot(user_program), "work": snapshot(user_work)}

        proc = self.start_run_sh()
        scale = timeout_scale()
        deadline = time.monotonic() + 240 * scale  # a fresh prefix takes 20 to 60 s

        def started():
            # The driver joins the virtual desktop once the program's own explorer has made it.
            self.assertIsNone(proc.poll(), f"run.sh ended early:\n{self.output()}")
            self.assertLess(time.monotonic(), deadline, f"run.sh did not start the program:\n{self.output()}")
            display = re.search(r"started a virtual one \((:\d+)\)", self.output())
            return display and any(b"Sorabune.exe" in read_proc(pid, "cmdline") for pid in processes_naming(self.root))

        while not started():
            time.sleep(0.5)
        time.sleep(2)
        found = re.search(r"started a virtual one \((:\d+)\)", self.output())
        app = harness.App(RunShDisplay(self.build, found.group(1), self.run_env), os.path.join(self.root, "driver"))
        app.evidence_dir = self.shots
        app.proc = proc
        self.addCleanup(app.stop)

        main = app.wait_for("Form2", timeout=120)
        time.sleep(0.5)
        save_screen(app.session, os.path.join(self.shots, "main-window.png"), main["rect"])
        app.click("Form2", "Command2")  # 操作
        settings = app.wait_for("SetForm")
        time.sleep(0.5)
        save_screen(app.session, os.path.join(self.shots, "settings-window.png"), settings["rect"])

        # 作者 → はい: the page goes to the desktop's browser, and the program goes on answering.
        app.click("SetForm", "Command5")
        app.wait_msgbox("確認")
        app.press_msgbox("はい")
        opened = app.wait_until(lambda: harness.read_bytes(self.browser_log), 30,
                                "the about page to reach the desktop's browser").decode()
        self.assertIn("about.html", opened)
        app.wait_until(lambda: not app.msgboxes(), message="the question box to close")
        app.click("SetForm", "Command6")  # メールチェック, against the demo's own mailbox and settings
        notice = app.wait_for("MsgForm", timeout=30)
        app.wait_text("MsgForm", "Text2", "3")
        time.sleep(0.5)
        save_screen(app.session, os.path.join(self.shots, "notice-window.png"), notice["rect"])

        os.killpg(proc.pid, signal.SIGINT)  # Ctrl+C in the terminal
        try:
            proc.wait(timeout=60 * scale)
        except subprocess.TimeoutExpired:
            self.fail(f"run.sh did not end after Ctrl+C:\n{self.output()}")
        stray = [line for line in self.output().splitlines() if line and not line.startswith(EXPECTED_OUTPUT)]
        self.assertEqual(stray, [], "run.sh printed more than its own notes")
        self.assertFalse(os.path.exists(self.mailbox), "the demo mailbox was left behind")
        poll(lambda: not processes_naming(self.root), 15 * scale, 0.2)
        self.assertEqual(processes_naming(self.root), [], "processes left after Ctrl+C")
        self.assertEqual({"program": snapshot(user_program), "work": snapshot(user_work)}, before,
                         "the demo touched the user's own folders")


if __name__ == "__main__":
    unittest.main()
