"""A private Dovecot POP3 server on loopback, through tests/dovecot/start_dovecot.sh and stop_dovecot.sh."""

import os
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


class Pop3Server:
    """Dovecot serving `messages` Japanese messages to user/password on 127.0.0.1:port."""

    host = "127.0.0.1"

    def __init__(self, directory, user="taro", password="secret", messages=0, size=None):
        start = os.path.join(SCRIPTS, "start_dovecot.sh")
        if not os.path.isfile(start):
            skip("tests/dovecot/start_dovecot.sh is missing", whole_run=False)
        if not (shutil.which("dovecot") or os.path.exists("/usr/sbin/dovecot")):
            skip("dovecot is not installed (apt-get install dovecot-pop3d dovecot-core)", whole_run=False)
        self.directory = directory
        self.user, self.password, self.messages = user, password, messages
        self.port = free_port()
        argv = [start, directory, str(self.port), user, password, str(messages)]
        if size:
            argv += ["--size", str(size)]
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

    def stop(self):
        subprocess.run([os.path.join(SCRIPTS, "stop_dovecot.sh"), self.directory], capture_output=True, timeout=60)
