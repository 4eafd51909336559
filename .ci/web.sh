#!/usr/bin/env bash
# CI of the browser host: installs Emscripten, Chromium and the browser
# tests' npm packages, builds the site with warnings as errors, runs the
# browser tests (which compare the examples' drawing with vexilon-cli's)
# and prints the page's figures: sizes, ready time, fib 25.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
tools/setup.sh web
cmake --preset wasm -DVEX_WERROR=ON
cmake --build --preset wasm
cmake --preset linux -DVEX_WERROR=ON
cmake --build --preset linux -j "$(nproc)" --target vexilon-cli
npm ci --prefix web --no-audit --no-fund
node tests/web/pages.mjs build/wasm/site build/linux/vexilon-cli
node bench/web.mjs build/wasm/site build/linux/vexilon-cli 5
