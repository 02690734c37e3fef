#!/usr/bin/env bash
# Builds both presets: the Windows program folder (build/windows/dist) and the native tests (build/linux).
#   --windows-only  only the Windows build
#   --program-only  only the Windows program and its folder dist/ (no test tools, no release zip)
#   --werror        warnings are errors (the test command builds this way)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
windows_only=0
program_only=0
werror=OFF
for arg in "$@"; do
    case "$arg" in
        --windows-only) windows_only=1 ;;
        --program-only) program_only=1 ;;
        --werror) werror=ON ;;
        *) echo "build.sh: unknown option $arg" >&2; exit 2 ;;
    esac
done
cmake --preset windows -DSORABUNE_WERROR=$werror >/dev/null
if [ "$program_only" = 1 ]; then
    cmake --build --preset windows -j "$jobs" --target Sorabune
    exit 0
fi
cmake --build --preset windows -j "$jobs"
# The release zip, whose contents the tests check.
cmake --build --preset windows --target package
if [ "$windows_only" = 0 ]; then
    cmake --preset linux -DSORABUNE_WERROR=$werror >/dev/null
    cmake --build --preset linux -j "$jobs"
fi
