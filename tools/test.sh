#!/usr/bin/env bash
# Checks the sources' format and layers (tools/check-source.sh), then sets
# up, builds and runs the whole test suite three times: a normal build,
# one under AddressSanitizer and UndefinedBehaviorSanitizer, and one that
# collects at every safe point (named calls and loop passes) and checks every
# Cell access (the tests that keep millions of Cells alive through many safe
# points are left out of that one: they become quadratic). Warnings are errors in all.
# Last, the profile-guided release build (bench/pgo.sh) and the suite on it.
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
echo "== linux-pgo"
bench/pgo.sh
ctest --preset linux-pgo -j "$jobs"
