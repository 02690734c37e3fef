"""Base class of the e2e tests: the shared environment, one program folder per test, cleanup, and the
evidence kept when a test fails."""

import os
import re
import shutil
import tempfile
import unittest

from . import files
from .app import App
from .environment import Session, log
from .pop3 import Pop3Server, test_certificates


def artifacts_root():
    return os.environ.get("SORABUNE_E2E_ARTIFACTS") or os.path.join(tempfile.gettempdir(), "sorabune-e2e-artifacts")


class SorabuneTestCase(unittest.TestCase):
    session = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.session = Session.get()

    def setUp(self):
        super().setUp()
        name = re.sub(r"[^A-Za-z0-9_.-]", "_", self.id().split(".", 2)[-1])
        self.test_dir = tempfile.mkdtemp(prefix=name[:60] + "-", dir=self.session.root)
        self.apps = []
        self.evidence_dir = os.path.join(artifacts_root(), os.path.basename(self.test_dir))
        self.addCleanup(self._finish)

    def launch(self, ini=None, id_pass=None, quillo=None, folder_name="Sorabune", blank_in_path=False,
               cwd="work", mail_data=True, start=True, code_page=932, winedebug=None):
        """A fresh copy of the program, its settings files written in CP932, started unless start=False.

        ini, id_pass: contents of ★MailData\\ini.ini and iniIdPass.ini (str or bytes; None = no file).
        quillo: contents of quillo.ini in the working directory (None = no file).
        blank_in_path: put the program folder under a folder whose name holds a blank.
        cwd: "work" (a folder of its own), "program" (the program folder) or an absolute path.
        mail_data: False removes the ★MailData folder.
        code_page: the ANSI code page the program and its driver run with (932, or 1252).
        winedebug: WINEDEBUG for the program alone (e.g. "+mci"); its trace lands in app.log_path.
        """
        directory = self.test_dir if not self.apps else tempfile.mkdtemp(prefix="app-", dir=self.test_dir)
        if blank_in_path:
            directory = os.path.join(directory, "Program Files")
            os.makedirs(directory)
        app = App(self.session, directory, folder_name=folder_name, cwd=cwd, mail_data=mail_data,
                  code_page=code_page, winedebug=winedebug)
        app.evidence_dir = self.evidence_dir
        self.apps.append(app)
        if ini is not None:
            app.write_ini(ini)
        if id_pass is not None:
            app.write_id_pass(id_pass)
        if quillo is not None:
            app.write_quillo(quillo)
        return app.start() if start else app

    def start_pop3(self, user="taro", password="secret", messages=0, size=None, tls=None, tls_min=None):
        """A Dovecot POP3 server on 127.0.0.1 for this test; stopped at the end of the test. tls names the
        certificate ("server": for localhost, "other": for another name) from a test CA the prefix trusts;
        tls_min="TLSv1.3" makes it a TLS 1.3-only server."""
        directory = tempfile.mkdtemp(prefix="sorabune-e2e-pop3-")
        self.addCleanup(shutil.rmtree, directory, True)
        certificates = test_certificates(self.session) if tls else None
        server = Pop3Server(directory, user, password, messages, size, tls, certificates, tls_min)
        self.addCleanup(server.stop)
        return server

    def standin_dial_up(self, app):
        """Puts the stand-in remote-access service (two connections; it answers as Windows does) into the
        prefix's system folder until the end of the test, and makes the app's next start take it. Returns a
        function giving the handles hung up so far, in order, as hex texts."""
        dll = os.path.join(self.session.build.root, "tests", "e2e", "standins", "rasapi32.dll")
        self.assertTrue(os.path.isfile(dll), f"no {dll}: build the Windows preset")
        system = os.path.join(self.session.prefix, "drive_c", "windows", "system32", "rasapi32.dll")
        kept = system + ".wine"
        os.replace(system, kept)  # never written through: the prefix's DLLs may be links to the cached ones
        self.addCleanup(os.replace, kept, system)
        shutil.copyfile(dll, system)
        log = os.path.join(self.test_dir, "hang-ups.txt")
        app.env = dict(app.env, WINEDLLOVERRIDES=app.env["WINEDLLOVERRIDES"] + ";rasapi32=n",
                       SORABUNE_RAS_LOG="Z:" + log.replace("/", "\\"))
        return lambda: (files.read_bytes(log) or b"").decode().split()

    def _failed(self):
        outcome = getattr(self, "_outcome", None)
        if outcome is None:
            return False
        if getattr(outcome, "errors", None):  # Python 3.10 and older collect them here
            return any(error for _, error in outcome.errors)
        result = getattr(outcome, "result", None)
        return result is not None and any(test is self for test, _ in result.failures + result.errors)

    def _finish(self):
        if self._failed():
            self._keep_evidence()
        for app in self.apps:
            app.stop()
        if not os.environ.get("SORABUNE_E2E_KEEP"):
            shutil.rmtree(self.test_dir, ignore_errors=True)

    def _keep_evidence(self):
        target = self.evidence_dir
        os.makedirs(target, exist_ok=True)
        if self.apps:
            self.apps[-1].screenshot(os.path.join(target, "final-screen.png"))
        for folder, _, names in os.walk(self.test_dir):
            for name in names:
                if name.lower().endswith((".log", ".png", ".ini")):
                    source = os.path.join(folder, name)
                    relative = os.path.relpath(source, self.test_dir).replace(os.sep, "__")[-60:]
                    shutil.copy2(source, os.path.join(target, relative))
        log(f"evidence of {self.id()} kept in {target}")

    # ----- assertions -----------------------------------------------------------------------------------
    def assertCentredOnScreen(self, form_state, tolerance=2):
        screen_w, screen_h = self.apps[-1].info()["w"], self.apps[-1].info()["h"]
        rect = form_state["rect"]
        dx = rect["x"] + rect["w"] / 2 - screen_w / 2
        dy = rect["y"] + rect["h"] / 2 - screen_h / 2
        self.assertLessEqual(abs(dx), tolerance, f"{form_state['name']} is off centre horizontally: {rect}")
        self.assertLessEqual(abs(dy), tolerance, f"{form_state['name']} is off centre vertically: {rect}")

    def assertFileBytes(self, path, expected):
        self.assertEqual(files.read_bytes(path), files.to_cp932(expected) if expected is not None else None,
                         f"content of {path}")
