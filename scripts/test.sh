#!/usr/bin/env bash
# Sets everything up and runs every test: native unit and behaviour tests, the Dovecot tests, the POP3
# client's fuzz targets (briefly), and the end-to-end tests that drive the real Sorabune.exe under Wine on a
# virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
start=$(date +%s)
bash scripts/build.sh --werror
echo "Build took $(( $(date +%s) - start )) s"
start=$(date +%s)
# The POP3 client's fuzz targets (clang, ASan and UBSan), each run briefly from the committed seeds.
cmake -S tests/fuzz -B build/fuzz -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build build/fuzz -j 2
ctest --test-dir build/fuzz --output-on-failure
echo "Fuzzing took $(( $(date +%s) - start )) s"
start=$(date +%s)
# Here every end-to-end test must run: a missing tool fails instead of skipping.
export SORABUNE_REQUIRE_E2E=1
ctest --preset linux -j 2 "$@"
echo "Tests took $(( $(date +%s) - start )) s"
