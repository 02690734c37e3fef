#!/usr/bin/env bash
# Runs backend_check.exe under Wine on a display of its own (Xvfb, Wine's virtual desktop), against a copy of
# the program folder under a folder whose name holds a blank and "★", and counts its PASS and FAIL lines.
#
#   run.sh WINDOWS_BUILD
#
# WINDOWS_BUILD holds dist/ and tests/e2e/backend_check/backend_check.exe. Exits 77 when wine, Xvfb or the
# tool is missing (1 under SORABUNE_REQUIRE_E2E, which the test command sets), 0 when every check passes.
set -u
skip_code=77
[ -n "${SORABUNE_REQUIRE_E2E:-}" ] && skip_code=1

windows_build=${1:?usage: run.sh WINDOWS_BUILD}
exe=$windows_build/tests/e2e/backend_check/backend_check.exe
for tool in wine wineboot wineserver Xvfb; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool not found"
        exit "$skip_code"
    fi
done
for file in "$exe" "$windows_build/dist/Sound/Kouka.mid"; do
    if [ ! -f "$file" ]; then
        echo "skipped: no $file (build the Windows preset)"
        exit "$skip_code"
    fi
done

# The program runs on a Japanese system: the sound driver opens the file through the ANSI code page (932),
# which has to hold the "★" of the folder's name.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    echo "skipped: the ja_JP.UTF-8 locale is missing (scripts/install-deps.sh makes it)"
    exit "$skip_code"
fi

work=$(mktemp -d /tmp/backend-check.XXXXXX)
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEPREFIX=$work/prefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
xvfb=
cleanup() {
    [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "FAIL Xvfb did not start: $(tail -n 3 "$work/xvfb.log")"; exit 1; }
export DISPLAY=:$(head -n 1 "$work/display")

wineboot --init >/dev/null 2>&1
# Windows shown and hidden with no window manager make Wine wait for a confirmation that never comes.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1

folder="$work/Program Files ★/Sorabune"
mkdir -p "$folder"
cp -r "$windows_build/dist/." "$folder/"

wine "$exe" "Z:${folder//\//\\}" >"$work/out" 2>"$work/err"
rc=$?
tr -d '\r' <"$work/out" | grep -v '^[0-9]* passed, [0-9]* failed'
passed=$(grep -c '^PASS' "$work/out")
failed=$(grep -c '^FAIL' "$work/out")
if ! grep -q '^[0-9]* passed, [0-9]* failed' "$work/out"; then
    # A crash or a hang cut the run short: say so, with what Wine said.
    failed=$((failed + 1))
    echo "FAIL backend_check.exe ended early (exit code $rc): $(tail -n 5 "$work/err")"
fi
echo "$passed passed, $failed failed"
[ "$failed" = 0 ] && [ "$rc" = 0 ]
