"""Client of sbdriver.exe: one command line out, one JSON line back."""

import json
import queue
import subprocess
import threading
import time


class DriverError(Exception):
    """The driver refused a command ({"ok": false}) or stopped answering."""


def encode_arg(value):
    """A command-line token: bare when safe, otherwise a JSON string literal the driver decodes."""
    text = str(value)
    if not text or text.startswith('"') or any(c in ' \t"\\' or ord(c) < 32 for c in text):
        return json.dumps(text, ensure_ascii=False)
    return text


class Driver:
    """A running sbdriver.exe. call() sends one command and returns its JSON reply as a dict."""

    def __init__(self, argv, env, cwd, log_path, start_timeout=60.0):
        self._log = open(log_path, "ab")
        self._lines = queue.Queue()
        self._broken = None
        self._ended = False
        self.proc = subprocess.Popen(
            argv, env=env, cwd=cwd, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self._log,
            preexec_fn=_die_with_parent)
        threading.Thread(target=self._read, daemon=True).start()
        self.ready = self._reply(start_timeout, "start")

    def _read(self):
        for raw in self.proc.stdout:
            self._lines.put(raw.decode("utf-8", "replace"))
        self._ended = True
        self._lines.put(None)

    def _reply(self, timeout, what):
        try:
            line = self._lines.get(timeout=timeout)
        except queue.Empty:
            self._broken = f"no answer to {what!r} within {timeout:.0f} s"
            raise DriverError(self._broken) from None
        if line is None:
            self._broken = f"driver ended (exit code {self.proc.poll()}) during {what!r}"
            raise DriverError(self._broken)
        try:
            return json.loads(line)
        except ValueError:
            self._broken = f"unreadable answer to {what!r}: {line!r}"
            raise DriverError(self._broken) from None

    @property
    def broken(self):
        # The end of its output, not of the process started: `wine explorer /desktop=...` only hands the
        # driver to a desktop that is already there, and ends.
        return self._broken is not None or self._ended

    def call(self, command, *args, timeout=30.0, check=True):
        """Runs `command args...`; raises DriverError when the reply has ok false (unless check=False)."""
        if self._broken:
            raise DriverError(f"driver unusable: {self._broken}")
        line = " ".join([command] + [encode_arg(a) for a in args])
        try:
            self.proc.stdin.write((line + "\n").encode("utf-8"))
            self.proc.stdin.flush()
        except OSError as error:
            self._broken = f"cannot write to driver: {error}"
            raise DriverError(self._broken) from None
        reply = self._reply(timeout, line)
        if check and not reply.get("ok"):
            raise DriverError(f"{line}: {reply.get('error')}")
        return reply

    def close(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.close()
                self.proc.wait(timeout=5)
            except (OSError, subprocess.TimeoutExpired):
                self.proc.kill()
                self.proc.wait(timeout=10)
        for stream in (self.proc.stdin, self.proc.stdout):
            try:
                stream.close()
            except OSError:
                pass
        self._log.close()


def _die_with_parent():
    """Children of the test process end with it, even when CTest kills it on a timeout."""
    try:
        import ctypes
        import signal
        ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def poll(predicate, timeout, interval=0.1):
    """Calls predicate until it returns something truthy; returns that, or None after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)
