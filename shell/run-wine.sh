#!/usr/bin/env bash
# Builds vexilon.exe (x86_64) and starts it under Wine on Linux, in the
# folder that holds the start-up library src/vexsys.LSP. Needs an X display;
# the Wine prefix lives in build/wine-run and is made on the first start.
set -euo pipefail
cd "$(dirname "$0")/.."
. shell/wine-env.sh
vex_windows_tools
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target vexilon >/dev/null
if [ -z "${DISPLAY:-}" ]; then
  echo "run-wine.sh: no X display (DISPLAY is empty)" >&2
  exit 1
fi
vex_wine_locale
vex_wine_prefix "$PWD/build/wine-run"
exec "$VEX_WINE" build/win64/vexilon.exe
