"""How quickly Sorabune starts: launches Sorabune.exe under Wine on a virtual display (the e2e harness's
environment) several times and prints the time from launch until the main window is visible, and until
the mascot window is loaded behind it (its outlines built). The wait polls every 0.1 s, so figures are
upper bounds to that grain.

    SORABUNE_WINDOWS_BUILD=build/windows python3 bench/startup/startup_time.py [RUNS]"""

import os
import statistics
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, REPO)

from tests.e2e import harness  # noqa: E402


def one_start(session):
    app = harness.App(session, tempfile.mkdtemp(prefix="startup-", dir=session.root))
    app.write_ini(harness.profile("EXEINI", NUMBER=1))
    app.write_quillo(harness.quillo())
    try:
        started = time.monotonic()
        app.start()
        app.wait_for("Form2", visible=True, timeout=45)
        visible = time.monotonic() - started
        app.wait_for("Form1", visible=False, timeout=45)
        return visible
    finally:
        app.stop()


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    session = harness.Session.get()
    one_start(session)  # warms the prefix and the page cache
    times = [one_start(session) for _ in range(runs)]
    print(f"Sorabune start-up under Wine, launch to main window visible ({runs} runs):")
    print(f"  median {statistics.median(times):.2f} s   best {min(times):.2f} s   worst {max(times):.2f} s")


if __name__ == "__main__":
    main()
