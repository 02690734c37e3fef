#!/usr/bin/env bash
# Idle CPU of the wandering mascot: the real Sorabune.exe under Wine on Xvfb with the mascot out and no
# input, measured over SECONDS_MEASURED (default 60) seconds; prints the CPU of the program, wineserver,
# the other Wine processes and Xvfb as percentages of one core.
#
#   SORABUNE_WINDOWS_BUILD=/path/to/windows-build bench/mascot/idle_cpu.sh
#
# Needs the Windows build (dist/Sorabune.exe and sbdriver.exe), wine and Xvfb, like the e2e tests.
# SORABUNE_E2E_PREFIX_CACHE reuses a pristine Wine prefix and saves about ten seconds.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
cd "$repo"
exec python3 "$here/idle_cpu.py"
