#!/usr/bin/env bash
# Sets everything up and runs every test: native unit and behaviour tests, the Dovecot tests, and the
# end-to-end tests that drive the real Sorabune.exe under Wine on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
start=$(date +%s)
bash scripts/build.sh --werror
echo "Build took $(( $(date +%s) - start )) s"
start=$(date +%s)
# Here every end-to-end test must run: a missing tool fails instead of skipping.
export SORABUNE_REQUIRE_E2E=1
ctest --preset linux -j 2 "$@"
echo "Tests took $(( $(date +%s) - start )) s"
