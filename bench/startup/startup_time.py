"""How quickly Sorabune starts, against the platform's floor: under Wine on the e2e harness's virtual
display and desktop, startup_probe.exe launches Sorabune.exe and then the empty window program in turn,
and times each from launch until its main window is visible (polled every millisecond inside Wine).
Prints the medians and their ratio.

    SORABUNE_WINDOWS_BUILD=build/windows python3 bench/startup/startup_time.py [RUNS]   (default 7)"""

import os
import statistics
import subprocess
import sys
import tempfile

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, REPO)

from tests.e2e import harness  # noqa: E402

SORABUNE_CAPTION = "Velmora・・・"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def probe(session, tools, program, caption, cwd):
    argv = session.wine_argv(os.path.join(tools, "startup_probe.exe")) + [
        windows_path(program), caption, windows_path(cwd)]
    # Output through a file: Wine's helper processes may inherit a pipe and keep it open.
    with tempfile.TemporaryFile("w+") as out:
        code = subprocess.run(argv, env=session.env, stdout=out, stderr=subprocess.STDOUT,
                              timeout=60 * session.scale).returncode
        out.seek(0)
        text = out.read()
    if code != 0:
        raise RuntimeError(f"startup_probe failed: {text.strip()}")
    return float(text.strip().splitlines()[-1])


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 7
    session = harness.Session.get()
    tools = os.path.join(session.build.root, "bench", "startup")
    app = harness.App(session, tempfile.mkdtemp(prefix="startup-", dir=session.root))
    app.write_ini(harness.profile("EXEINI", NUMBER=1))
    app.write_quillo(harness.quillo())
    empty = os.path.join(tools, "empty_window.exe")

    def sorabune():
        return probe(session, tools, app.exe, SORABUNE_CAPTION, app.work_dir)

    def floor():
        return probe(session, tools, empty, "Empty", tools)

    sorabune(), floor()  # warm the prefix and the page cache
    ours, empties = [], []
    for _ in range(runs):
        ours.append(sorabune())
        empties.append(floor())
    a, b = statistics.median(ours), statistics.median(empties)
    print(f"Start-up under Wine, launch to main window visible, median of {runs}:")
    print(f"  Sorabune      {a:6.0f} ms   (best {min(ours):.0f}, worst {max(ours):.0f})")
    print(f"  empty window  {b:6.0f} ms   (best {min(empties):.0f}, worst {max(empties):.0f})")
    print(f"  ratio         {a / b:6.2f}")


if __name__ == "__main__":
    main()
