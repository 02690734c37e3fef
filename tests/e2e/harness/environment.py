"""The run-wide test environment: a Japanese locale, one Xvfb display and one fresh Wine prefix with a
1024x768 default desktop, shared by every test of the process and torn down when it ends."""

import atexit
import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from .driver import _die_with_parent

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
SCREEN = (1024, 768)
LOCALE = "ja_JP.UTF-8"
# Wine takes the ANSI code page from the locale: Japanese (932) for the run, or 1252 for one program copy
# (App(code_page=1252)) to be seen as on a Windows whose language for non-Unicode programs is not Japanese.
LOCALES = {932: LOCALE, 1252: "C.UTF-8"}
SKIP_MARK = "E2E-SKIP"  # CTest turns a run whose output holds this into "skipped"

# Every wine process of the run shares this desktop, so windows of the program and the driver meet.
REGISTRY = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
"""
# Bump when REGISTRY or the prefix recipe changes, so cached prefixes are rebuilt.
PREFIX_RECIPE = "2"


def timeout_scale():
    """SORABUNE_E2E_TIMEOUT_SCALE stretches every timeout of the harness (slow or busy machines)."""
    try:
        return max(0.1, float(os.environ.get("SORABUNE_E2E_TIMEOUT_SCALE", "1")))
    except ValueError:
        return 1.0


def log(message):
    sys.stderr.write(f"[e2e {time.strftime('%H:%M:%S')}] {message}\n")
    sys.stderr.flush()


def skip(reason, whole_run=True):
    """Skips the test. whole_run marks the output so CTest reports the file as skipped: only for a missing
    environment, where no test of the file can run (CTest's skip rule would hide failures of the others)."""
    if os.environ.get("SORABUNE_REQUIRE_E2E"):
        # The test command promises every end-to-end test runs: a missing piece is a failure there.
        raise AssertionError(f"end-to-end environment incomplete: {reason}")
    raise unittest.SkipTest(f"{SKIP_MARK}: {reason}" if whole_run else reason)


class Build:
    """Where the Windows build put Sorabune.exe (dist/) and sbdriver.exe."""

    def __init__(self):
        self.root = os.environ.get("SORABUNE_WINDOWS_BUILD") or os.path.join(REPO, "build", "windows")
        self.dist = os.path.join(self.root, "dist")
        self.exe = os.path.join(self.dist, "Sorabune.exe")
        self.driver = os.environ.get("SORABUNE_E2E_DRIVER") or self._find_driver()

    def _find_driver(self):
        for relative in ("tests/e2e/driver/sbdriver.exe", "sbdriver.exe", "bin/sbdriver.exe", "dist/sbdriver.exe"):
            path = os.path.join(self.root, relative)
            if os.path.isfile(path):
                return path
        for folder, _, names in os.walk(self.root):
            if "sbdriver.exe" in names:
                return os.path.join(folder, "sbdriver.exe")
        return None

    def check(self):
        if not os.path.isfile(self.exe):
            skip(f"no Windows build: {self.exe} is missing (set SORABUNE_WINDOWS_BUILD)")
        if not self.driver:
            skip(f"no sbdriver.exe under {self.root} (build target sbdriver in the Windows build)")


def ensure_locale():
    """Wine takes its ANSI code page (932) from the Unix locale, so ja_JP.UTF-8 has to exist."""
    def have():
        out = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout
        return any(name.lower().replace("-", "") == "ja_jp.utf8" for name in out.split())

    if have():
        return
    log(f"generating locale {LOCALE}")
    subprocess.run(["localedef", "-i", "ja_JP", "-f", "UTF-8", LOCALE], capture_output=True)
    if not have():
        subprocess.run(["locale-gen", LOCALE], capture_output=True)
    if not have():
        raise RuntimeError(f"locale {LOCALE} is missing and could not be generated (run: locale-gen {LOCALE})")


class Session:
    """Xvfb + Wine prefix + persistent wineserver for the whole run. Use Session.get()."""

    _current = None

    @classmethod
    def get(cls):
        if cls._current is None:
            build = Build()
            for tool in ("wine", "wineserver", "Xvfb"):
                if not shutil.which(tool):
                    skip(f"{tool} is not installed")
            build.check()
            cls._current = cls(build)
            atexit.register(cls._current.close)
        return cls._current

    def __init__(self, build):
        started = time.monotonic()
        self.build = build
        self.scale = timeout_scale()
        ensure_locale()
        self.root = tempfile.mkdtemp(prefix="sorabune-e2e-")
        self.xvfb = None
        self.watchdog = None
        self.closed = False
        try:
            self._start_xvfb()
            self.prefix = os.path.join(self.root, "prefix")
            self.env = self._wine_env()
            self._make_prefix()
            self._start_watchdog()
            subprocess.run(["wineserver", "-p"], env=self.env, check=True, timeout=30 * self.scale)
        except BaseException:
            self.close()
            raise
        log(f"environment ready in {time.monotonic() - started:.1f} s: display {self.display}, prefix {self.prefix}")

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        w, h = SCREEN
        with open(os.path.join(self.root, "xvfb.log"), "wb") as xvfb_log:
            self.xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{w}x{h}x24", "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=xvfb_log, preexec_fn=_die_with_parent)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 30 * self.scale
        os.set_blocking(read_end, False)
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            if self.xvfb.poll() is not None:
                break
            try:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
            except BlockingIOError:
                time.sleep(0.05)
        os.close(read_end)
        if not number.strip().isdigit():
            raise RuntimeError("Xvfb did not start; see " + os.path.join(self.root, "xvfb.log"))
        self.display = ":" + number.strip().decode()

    def _wine_env(self):
        env = {k: v for k, v in os.environ.items() if not k.startswith(("WINE", "LC_")) and k != "LANGUAGE"}
        env.update({
            "DISPLAY": self.display,
            "WINEPREFIX": self.prefix,
            "WINEDLLOVERRIDES": "mscoree,mshtml=,winemenubuilder.exe=d",
            "WINEDEBUG": os.environ.get("SORABUNE_E2E_WINEDEBUG", "-all"),
            "LANG": LOCALE,
            "LC_ALL": LOCALE,
        })
        return env

    def _make_prefix(self):
        cache = os.environ.get("SORABUNE_E2E_PREFIX_CACHE")
        if not cache:
            self._boot_prefix(self.prefix, self.env)
            return
        # A pristine prefix built once per Wine version is copied for each run: the same fresh state as
        # wineboot gives, without its ten seconds.
        version = subprocess.run(["wine", "--version"], capture_output=True, text=True, env=self.env).stdout.strip()
        os.makedirs(cache, exist_ok=True)
        template = os.path.join(cache, re.sub(r"[^A-Za-z0-9.+-]+", "_", f"prefix-{version}-{PREFIX_RECIPE}"))
        with open(os.path.join(cache, "lock"), "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if not os.path.isfile(os.path.join(template, ".sorabune-complete")):
                shutil.rmtree(template, ignore_errors=True)
                env = dict(self.env, WINEPREFIX=template)
                self._boot_prefix(template, env)
                open(os.path.join(template, ".sorabune-complete"), "w").close()
            copy_prefix(template, self.prefix)

    def _boot_prefix(self, prefix, env):
        started = time.monotonic()
        log(f"creating wine prefix {prefix}")
        wine_log = open(os.path.join(self.root, "wineboot.log"), "ab")
        def run(argv, limit, check=True):
            subprocess.run(argv, env=env, stdout=wine_log, stderr=wine_log, check=check, timeout=limit * self.scale)

        run(["wineboot", "--init"], 240)
        # The title bar's buttons are Marlett's glyphs, which Wine finds by name only in the prefix's Fonts.
        marlett = "/usr/share/wine/fonts/marlett.ttf"
        if os.path.isfile(marlett):
            shutil.copy(marlett, os.path.join(prefix, "drive_c", "windows", "Fonts"))
        reg = os.path.join(self.root, "desktop.reg")
        with open(reg, "w") as f:
            f.write(REGISTRY)
        run(["wine", "regedit", "/S", reg], 60)
        # Stop the boot's server so the registry reaches disk and every later process sees the desktop.
        run(["wineserver", "-k"], 60, check=False)
        run(["wineserver", "-w"], 60, check=False)
        wine_log.close()
        log(f"prefix created in {time.monotonic() - started:.1f} s")

    def _start_watchdog(self):
        """Cleans up after a test process that was killed outright (for example by a CTest timeout)."""
        script = (
            'while kill -0 "$1" 2>/dev/null; do sleep 1; done; '
            'WINEPREFIX="$2" wineserver -k 2>/dev/null; WINEPREFIX="$2" wineserver -w 2>/dev/null; kill "$3" 2>/dev/null; '
            '[ -z "$SORABUNE_E2E_KEEP" ] && rm -rf "$4"')
        self.watchdog = subprocess.Popen(
            ["sh", "-c", script, "watchdog", str(os.getpid()), self.prefix, str(self.xvfb.pid), self.root],
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)

    def close(self):
        if self.closed:
            return
        self.closed = True
        if self.watchdog:
            self.watchdog.kill()
            self.watchdog.wait()
        if getattr(self, "env", None):
            # Ended before the prefix goes (see tests/e2e/shape_check/run.sh).
            subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=60)
            subprocess.run(["wineserver", "-w"], env=self.env, capture_output=True, timeout=60)
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.send_signal(signal.SIGTERM)
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
        if os.environ.get("SORABUNE_E2E_KEEP"):
            log(f"kept {self.root}")
        else:
            shutil.rmtree(self.root, ignore_errors=True)

    def wine_argv(self, exe):
        return ["wine", exe]

    def screenshot(self, path, crop=None):
        """The virtual screen (or the part crop = {x, y, w, h} of it) as PNG (ImageMagick's import); False
        when it could not be taken."""
        os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
        argv = ["import", "-display", self.display, "-window", "root"]
        if crop:
            argv += ["-crop", f"{crop['w']}x{crop['h']}+{crop['x']}+{crop['y']}", "+repage"]
        try:
            subprocess.run(argv + [path], env=self.env, capture_output=True, check=True, timeout=30)
            return True
        except (OSError, subprocess.SubprocessError):
            return False


def save_screen(session, path, crop=None):
    """A screenshot kept for a person to look at (see Session.screenshot); raises when it cannot be taken."""
    if not session.screenshot(path, crop):
        raise RuntimeError(f"could not take the screenshot {path}")
    return path


# Large binaries of the Windows folder are never written after wineboot, so the copies may share them.
_SHARED_SUFFIXES = (".dll", ".exe", ".sys", ".drv", ".ocx", ".acm", ".cpl", ".tlb", ".ttf", ".ttc", ".fon", ".nls")


def copy_prefix(template, target):
    for folder, dirs, names in os.walk(template):
        relative = os.path.relpath(folder, template)
        destination = os.path.normpath(os.path.join(target, relative))
        os.makedirs(destination, exist_ok=True)
        for name in dirs + names:
            source = os.path.join(folder, name)
            if os.path.islink(source):
                os.symlink(os.readlink(source), os.path.join(destination, name))
                if name in dirs:
                    dirs.remove(name)
        for name in names:
            source = os.path.join(folder, name)
            dest = os.path.join(destination, name)
            if os.path.islink(source) or (relative == "." and name in ("wineserver", ".sorabune-complete")):
                continue
            if name.lower().endswith(_SHARED_SUFFIXES) and relative.startswith("drive_c"):
                try:
                    os.link(source, dest)
                    continue
                except OSError:
                    pass
            shutil.copy2(source, dest)
