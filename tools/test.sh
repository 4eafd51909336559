#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite twice: a normal build, then
# one under AddressSanitizer and UndefinedBehaviorSanitizer. Warnings are
# errors in both.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
jobs=$(nproc)
for preset in linux linux-asan; do
  echo "== $preset"
  cmake --preset "$preset" -DVEX_WERROR=ON
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
