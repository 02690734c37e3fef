"""scripts/run.sh as a newcomer meets it: a fresh prefix and virtual display, the demo, 作者 → はい (to a stand-in
browser), the demo's mail check, then Ctrl+C. The user's own folders stay byte for byte; nothing is left."""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from tests.e2e import harness
from tests.e2e.harness.driver import poll
from tests.e2e.harness.environment import LOCALE, REPO, Build, Session, timeout_scale
from tests.e2e.harness.testcase import artifacts_root


def files_under(folder):
    return {os.path.join(p, n): open(os.path.join(p, n), "rb").read() for p, _, ns in os.walk(folder) for n in ns}


def proc_file(pid, part):
    try:
        with open(f"/proc/{pid}/{part}", "rb") as f:
            return f.read()
    except OSError:
        return b""


def processes_naming(text):
    return [p for p in os.listdir("/proc") if p.isdigit() and text.encode() in proc_file(p, "cmdline") + proc_file(p, "environ")]


def end_run(proc):
    """After a failure: Ctrl+C, so that run.sh ends Wine, Dovecot and Xvfb itself; a kill if it hangs."""
    if proc.poll() is None:
        os.killpg(proc.pid, signal.SIGINT)
        try:
            proc.wait(60 * timeout_scale())
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)


class RunShSession:
    """What an App needs of a session; its driver joins run.sh's prefix (through the same TMPDIR) and desktop."""
    screenshot = Session.screenshot

    def __init__(self, build, display, env):
        self.build, self.display, self.scale = build, display, timeout_scale()
        self.env = dict(env, DISPLAY=display, WINEPREFIX=os.path.join(env["XDG_DATA_HOME"], "sorabune", "wineprefix"),
                        WINEDEBUG="-all", LANG=LOCALE, LC_ALL=LOCALE)

    def wine_argv(self, exe):
        return ["wine", "explorer", "/desktop=Sorabune,1024x768", exe]


class FirstRunTest(unittest.TestCase):
    def test_demo_from_a_fresh_prefix_then_ctrl_c(self):
        Session.get()  # skips or fails the same way as every end-to-end test when something is missing
        root = tempfile.mkdtemp(prefix="sorabune-first-run-")
        self.addCleanup(shutil.rmtree, root, True)
        for folder in ("tmp", "bin"):
            os.makedirs(os.path.join(root, folder))
        os.chmod(root, 0o755), os.chmod(os.path.join(root, "tmp"), 0o755)  # Dovecot's users reach the mailbox
        with open(os.path.join(root, "bin", "xdg-open"), "w") as f:  # the desktop's browser
            f.write(f'#!/bin/sh\necho "$@" >>{root}/browser.log\n')
        os.chmod(os.path.join(root, "bin", "xdg-open"), 0o755)
        user = os.path.join(root, "data", "sorabune")
        harness.write_cp932(os.path.join(user, "program", "★MailData", "iniIdPass.ini"), "[EXEINI]\nNAME2PROTECTED=AQ==\n")
        harness.write_cp932(os.path.join(user, "work", "quillo.ini"), harness.quillo(pop3="pop3s://pop.example.jp"))
        before = files_under(os.path.join(user, "program")) | files_under(os.path.join(user, "work"))

        env = {k: v for k, v in os.environ.items() if not k.startswith(("WINE", "LC_", "DISPLAY"))}
        env.update(XDG_DATA_HOME=os.path.join(root, "data"), TMPDIR=os.path.join(root, "tmp"),
                   PATH=f"{root}/bin:{env['PATH']}", SORABUNE_DEMO_PORT=str(harness.pop3.free_port()),
                   SORABUNE_WINDOWS_BUILD=Build().root)
        out = os.path.join(root, "run.out")
        with open(out, "wb") as f:  # a session of its own, as a terminal's job: Ctrl+C reaches all of it
            proc = subprocess.Popen(["bash", os.path.join(REPO, "scripts", "run.sh"), "--no-build"], env=env,
                                    stdout=f, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, start_new_session=True)
        self.addCleanup(end_run, proc)
        text = lambda: open(out, encoding="utf-8").read()  # noqa: E731
        # The driver joins the virtual desktop once the program's explorer has made it.
        poll(lambda: proc.poll() is not None or any(b"Sorabune.exe" in proc_file(p, "cmdline") for p in processes_naming(root)),
             240 * timeout_scale(), 0.5)
        self.assertIsNone(proc.poll(), text())
        time.sleep(2)
        app = harness.App(RunShSession(Build(), re.search(r"\((:\d+)\)", text()).group(1), env), f"{root}/driver")
        app.proc, app.evidence_dir = proc, os.path.join(artifacts_root(), "first-run")
        self.addCleanup(app.stop)

        app.wait_for("Form2", timeout=60)
        app.click("Form2", "Command2")  # 操作
        app.wait_for("SetForm")
        app.click("SetForm", "Command5")  # 作者
        app.wait_msgbox("確認")
        app.press_msgbox("はい")
        self.assertIn(b"about.html", app.wait_until(lambda: harness.read_bytes(f"{root}/browser.log"), 30, "the page"))
        app.click("SetForm", "Command6")  # メールチェック: the program still answers, with the demo's own settings
        app.wait_text("MsgForm", "Text2", "3")
        time.sleep(0.5)
        harness.save_screen(app.session, os.path.join(app.evidence_dir, "notice-window.png"), app.form("MsgForm")["rect"])

        os.killpg(proc.pid, signal.SIGINT)  # Ctrl+C
        proc.wait(60 * timeout_scale())
        notes = ("Preparing the Wine prefix ", "No display: started ", "Demo mailbox: ", "Press 操作")
        self.assertEqual([line for line in text().splitlines() if not line.startswith(notes)], [], "run.sh's output")
        self.assertFalse(os.path.exists(f"{root}/tmp/sorabune-demo-mailbox-{os.getuid()}"), "the demo mailbox is left")
        poll(lambda: not processes_naming(root), 15 * timeout_scale(), 0.2)
        self.assertEqual(processes_naming(root), [], "processes left after Ctrl+C")
        self.assertEqual(files_under(os.path.join(user, "program")) | files_under(os.path.join(user, "work")), before)


if __name__ == "__main__":
    unittest.main()
