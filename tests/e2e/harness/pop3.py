"""A private Dovecot POP3 server on loopback, through tests/dovecot/start_dovecot.sh and stop_dovecot.sh,
optionally with TLS: a certificate from a test CA made for the run, which the run's Wine prefix trusts."""

import os
import runpy
import shutil
import socket
import subprocess
import tempfile

from .environment import REPO, skip

SCRIPTS = os.path.join(REPO, "tests", "dovecot")


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def test_certificates(session):
    """The run's certificate folder (tests/dovecot/make_certs.sh), its CA trusted in the session's prefix."""
    folder = os.path.join(session.root, "certs")
    if not os.path.isfile(os.path.join(folder, "ca.pem")):
        if not shutil.which("openssl"):
            skip("openssl is not installed (apt-get install openssl)", whole_run=False)
        subprocess.run(["bash", os.path.join(SCRIPTS, "make_certs.sh"), folder], check=True, capture_output=True,
                       timeout=60)
        trust = runpy.run_path(os.path.join(SCRIPTS, "trust_in_wine.py"))["trust"]
        trust(os.path.join(folder, "ca.pem"), env=session.env)
    return folder


class Pop3Server:
    """Dovecot serving `messages` Japanese messages to user/password on 127.0.0.1:port. With `tls` (a
    certificate name of make_certs.sh, such as "server" or "other") and `certificates` (its folder), it also
    speaks TLS on tls_port and offers STLS on port; tls_min="TLSv1.3" takes nothing older."""

    host = "127.0.0.1"

    def __init__(self, directory, user="taro", password="secret", messages=0, size=None, tls=None,
                 certificates=None, tls_min=None):
        start = os.path.join(SCRIPTS, "start_dovecot.sh")
        if not os.path.isfile(start):
            skip("tests/dovecot/start_dovecot.sh is missing", whole_run=False)
        if not (shutil.which("dovecot") or os.path.exists("/usr/sbin/dovecot")):
            skip("dovecot is not installed (apt-get install dovecot-pop3d dovecot-core)", whole_run=False)
        self.directory = directory
        self.user, self.password, self.messages = user, password, messages
        self.port = free_port()
        self.tls_port = None
        argv = [start, directory, str(self.port), user, password, str(messages)]
        if size:
            argv += ["--size", str(size)]
        if tls:
            self.tls_port = free_port()
            while self.tls_port == self.port:
                self.tls_port = free_port()
            argv += ["--tls", str(self.tls_port), os.path.join(certificates, tls + ".pem"),
                     os.path.join(certificates, tls + ".key")]
            if tls_min:
                argv += ["--tls-min", tls_min]
        # Dovecot keeps the script's output streams open, so they go to a file rather than a pipe.
        with tempfile.TemporaryFile() as output:
            try:
                code = subprocess.run(argv, stdout=output, stderr=output, timeout=60).returncode
            except subprocess.TimeoutExpired:
                code = None
            output.seek(0)
            text = output.read().decode("utf-8", "replace").strip()
        if code != 0:
            self.stop()
            raise RuntimeError(f"dovecot did not start on port {self.port}: {text}")

    @property
    def address(self):
        return f"{self.host}:{self.port}"

    def logins(self):
        """Dovecot's login lines so far; with TLS each names the version and cipher."""
        with open(os.path.join(self.directory, "dovecot.log"), encoding="utf-8", errors="replace") as f:
            return [line.rstrip("\n") for line in f if "Login: user=<" in line]

    def stop(self):
        subprocess.run([os.path.join(SCRIPTS, "stop_dovecot.sh"), self.directory], capture_output=True, timeout=60)
