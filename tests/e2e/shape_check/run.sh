#!/usr/bin/env bash
# The outline records on gdi32 (Wine's): shape_check.exe builds every case with the per-pixel reference and
# the fast build through gdi32 and checks that they agree; shape_native builds the same cases on the
# headless regions; then every record gdi32 stored must equal the headless one byte for byte.
#
#   run.sh WINDOWS_BUILD SHAPE_NATIVE
#
# WINDOWS_BUILD is the Windows build folder holding shape_check.exe (SHAPE_CHECK_EXE names it directly).
# SORABUNE_E2E_PREFIX_CACHE, when it holds a pristine prefix of this Wine version, is copied instead of
# running wineboot. Exits 77 when wine or shape_check.exe is missing, 0 when every check passes.
set -u
# scripts/test.sh sets SORABUNE_REQUIRE_E2E: there a missing tool is a failure, not a skip.
skip_code=77
[ -n "${SORABUNE_REQUIRE_E2E:-}" ] && skip_code=1

windows_build=${1:?usage: run.sh WINDOWS_BUILD SHAPE_NATIVE}
native=${2:?usage: run.sh WINDOWS_BUILD SHAPE_NATIVE}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
frames=$root/resources/frames
started=$SECONDS

for tool in wine wineboot wineserver; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool not found"
        exit "$skip_code"
    fi
done
exe=${SHAPE_CHECK_EXE:-$windows_build/tests/e2e/shape_check/shape_check.exe}
if [ ! -f "$exe" ]; then
    exe=$(find "$windows_build" -name shape_check.exe -print -quit 2>/dev/null)
fi
if [ -z "$exe" ] || [ ! -f "$exe" ]; then
    echo "skipped: no shape_check.exe under $windows_build (build target shape_check in the Windows build)"
    exit "$skip_code"
fi

work=$(mktemp -d /tmp/shape-check.XXXXXX)
export WINEPREFIX=$work/prefix
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all DISPLAY=
# The server must be gone before its prefix: a new prefix can get the removed one's inode, and with it the
# socket of a server that is still ending, which makes the next wine fail at once.
cleanup() {
    [ -d "$WINEPREFIX" ] && { wineserver -k; wineserver -w; } 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Copies a pristine prefix as the e2e harness does (files Wine never rewrites are hard-linked).
copy_prefix() {  # template target
    PYTHONPATH=$root python3 -c 'import sys; from tests.e2e.harness.environment import copy_prefix; copy_prefix(*sys.argv[1:])' \
        "$1" "$2"
}

prefix_from_cache() {
    local cache=${SORABUNE_E2E_PREFIX_CACHE:-}
    [ -n "$cache" ] && [ -d "$cache" ] || return 1
    local version template
    version=$(wine --version 2>/dev/null | sed 's/[^A-Za-z0-9.+-]\+/_/g')
    exec 9>"$cache/lock"
    flock 9
    for template in "$cache/prefix-$version-"*; do
        if [ -f "$template/.sorabune-complete" ]; then
            copy_prefix "$template" "$WINEPREFIX"
            flock -u 9
            return 0
        fi
    done
    flock -u 9
    return 1
}

if prefix_from_cache; then
    echo "Wine prefix copied from $SORABUNE_E2E_PREFIX_CACHE ($((SECONDS - started)) s)"
else
    wineboot --init >/dev/null 2>&1
    echo "Wine prefix created ($((SECONDS - started)) s)"
fi

winpath() { printf 'Z:%s' "${1//\//\\}"; }

passed=0
failed=0
run() {  # label, command...: runs a check program and counts its PASS and FAIL lines
    local label=$1 line rc
    shift
    "$@" >"$work/out" 2>&1
    rc=$?
    while IFS= read -r line; do
        line=${line%$'\r'}
        case $line in
        PASS*) passed=$((passed + 1)) ;;
        FAIL*) failed=$((failed + 1)) ;;
        *) continue ;;
        esac
        echo "[$label] $line"
    done <"$work/out"
    # A crash prints no FAIL line of its own.
    if [ "$rc" != 0 ] && ! grep -q '^FAIL' "$work/out"; then
        failed=$((failed + 1))
        echo "[$label] FAIL exit code $rc: $(tr -d '\r' <"$work/out" | tail -n 3)"
    elif ! grep -q '^[0-9]* passed, [0-9]* failed' "$work/out"; then
        failed=$((failed + 1))
        echo "[$label] FAIL no summary line"
    fi
}

mark=$SECONDS
run headless "$native" build "$frames" "$work/headless.hex"
echo "headless regions: $((SECONDS - mark)) s"

mark=$SECONDS
run gdi32 wine "$exe" "$(winpath "$frames")" "$(winpath "$work/gdi32.hex")"
echo "gdi32 under Wine: $((SECONDS - mark)) s"

run "gdi32 = headless" "$native" compare "$work/gdi32.hex" "$work/headless.hex"
if [ -f "$work/gdi32.hex" ] && cmp -s "$work/gdi32.hex" "$work/headless.hex"; then
    passed=$((passed + 1))
    echo "[gdi32 = headless] PASS the two hex files are identical"
else
    failed=$((failed + 1))
    echo "[gdi32 = headless] FAIL the two hex files differ: $(cmp "$work/gdi32.hex" "$work/headless.hex" 2>&1)"
fi

echo "run time: $((SECONDS - started)) s"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
