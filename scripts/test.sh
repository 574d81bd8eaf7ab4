#!/usr/bin/env bash
# Builds ZELK4 and runs every test: the normal build, the same suite once more under
# AddressSanitizer and UndefinedBehaviorSanitizer, and each fuzz target for a bounded time.
# Usage: scripts/test.sh [--quick]   (--quick: the normal build's tests only)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
quick=0
[ "${1:-}" = "--quick" ] && quick=1

bash scripts/setup.sh
jobs=$(nproc)

echo "== build (build/)"
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== tests (build/)"
ctest --test-dir build --output-on-failure -j "$jobs"

[ $quick -eq 1 ] && exit 0

echo "== build under AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/)"
# Line tables only (-g1): the sanitizers' reports keep their files and lines, and the tree builds
# in about half the time of full debug information.
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DZELK4_SANITIZE=ON -DZELK4_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1"
echo "== tests under sanitizers (build-asan/)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== fuzz targets (build-fuzz/, libFuzzer, ${ZELK4_FUZZ_SECONDS:-20} s each)"
CC=clang CXX=clang++ bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELK4_FUZZ=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DZELK4_FUZZ_SECONDS="${ZELK4_FUZZ_SECONDS:-20}"
ctest --test-dir build-fuzz --output-on-failure -L fuzz -j "$jobs"
