#!/usr/bin/env bash
# Checks the sources' format and layers (tools/check-source.sh), then sets
# up, builds and runs the whole test suite three times: a normal build,
# one under AddressSanitizer and UndefinedBehaviorSanitizer, and one that
# collects before every named call and checks every Cell access (the tests
# that allocate tens of millions of Cells are left out of that one: a
# collection per call makes them quadratic). Warnings are errors in all.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
tools/check-source.sh
jobs=$(nproc)
for preset in linux linux-asan linux-gcstress; do
  echo "== $preset"
  cmake --preset "$preset" -DVEX_WERROR=ON
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
