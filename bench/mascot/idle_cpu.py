"""CPU that the wandering mascot costs while the user does nothing: starts Sorabune.exe under Wine on a
virtual display (the e2e harness's environment), brings the mascot out with the space bar, then reads the
CPU time of the program's process, of the wineserver, of the other Wine processes of the prefix and of
Xvfb over a quiet interval and prints each as a percentage of one core. Run through idle_cpu.sh."""

import ntpath
import os
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, REPO)

from tests.e2e import harness  # noqa: E402

SECONDS = float(os.environ.get("SECONDS_MEASURED", "60"))
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """utime + stime of a Linux process, in seconds; None once it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS  # fields 14 and 15 of stat(5)


def in_prefix(pid, prefix):
    try:
        with open(f"/proc/{pid}/environ", "rb") as f:
            return f"WINEPREFIX={prefix}".encode() in f.read().split(b"\0")
    except OSError:
        return False


def pgrep(pattern):
    out = subprocess.run(["pgrep", "-f", pattern], capture_output=True, text=True).stdout
    return [int(p) for p in out.split()]


def prefix_processes(prefix):
    """Every process whose environment names this Wine prefix, by its command line."""
    found = {}
    for name in os.listdir("/proc"):
        if name.isdigit() and in_prefix(int(name), prefix):
            try:
                with open(f"/proc/{name}/cmdline", "rb") as f:
                    found[int(name)] = f.read().replace(b"\0", b" ").decode("utf-8", "replace").strip()
            except OSError:
                pass
    return found


def process_name(cmdline):
    """The program's file name: "wineserver64", "explorer.exe" (Wine shows Windows paths)."""
    first = cmdline.split(" ")[0] if cmdline else "?"
    return ntpath.basename(first)


def main():
    session = harness.Session.get()
    app = harness.App(session, tempfile.mkdtemp(prefix="idle-cpu-", dir=session.root))
    app.write_ini(harness.profile("EXEINI", NUMBER=0))
    app.write_quillo(harness.quillo())
    try:
        app.start()
        app.wait_for("Form2", visible=True, timeout=45)
        app.key("space")  # the hidden イベント button has the focus: the appearance sequence starts
        app.wait_for("Form1", visible=True, timeout=30)
        time.sleep(1.0)  # past the first show

        program = [p for p in pgrep("Sorabune.exe") if in_prefix(p, session.prefix)]
        if len(program) != 1:
            raise SystemExit(f"expected one Sorabune.exe process in {session.prefix}, found {program}")
        others = prefix_processes(session.prefix)
        groups = {
            "Sorabune.exe": program,
            "wineserver": [p for p, cmd in others.items() if process_name(cmd).startswith("wineserver")],
            "other wine processes": [p for p, cmd in others.items()
                                     if p not in program and process_name(cmd).lower().endswith(".exe")],
            "Xvfb": [session.xvfb.pid],
        }
        before = {name: {p: cpu_seconds(p) for p in pids} for name, pids in groups.items()}
        started = time.monotonic()
        time.sleep(SECONDS)
        elapsed = time.monotonic() - started
        after = {name: {p: cpu_seconds(p) for p in pids} for name, pids in groups.items()}
        if not app.alive() or app.form("Form1") is None:
            raise SystemExit("the program or its mascot went away during the measurement")

        print(f"mascot wandering, no input, {elapsed:.1f} s measured (CPU time / wall time, % of one core)")
        for name, pids in groups.items():
            used = sum((after[name][p] or 0) - (before[name][p] or 0) for p in pids if before[name][p] is not None)
            detail = ", ".join(process_name(others.get(p, "Xvfb")) for p in pids) or "none"
            print(f"  {name:22s} {100 * used / elapsed:6.2f} %   ({used:.2f} s CPU; {detail})")
    finally:
        app.stop()
        session.close()


if __name__ == "__main__":
    main()
