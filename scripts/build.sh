#!/usr/bin/env bash
# Builds both presets: the Windows program folder (build/windows/dist) and the native tests (build/linux).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
if [ "${1:-}" != "--windows-only" ]; then
    cmake --preset linux >/dev/null
    cmake --build --preset linux -j "$jobs"
fi
