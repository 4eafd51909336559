#!/usr/bin/env bash
# CI, Windows side: installs the mingw-w64 cross compilers and Wine, builds
# vexilon.exe and vexilon-cli.exe for x86_64 and i686, and runs the GUI tests
# under Wine. Debian 12 has no 32-bit Wine, so the tests run the x86_64
# build; Wine's null graphics driver runs them without an X server.
set -euo pipefail
cd "$(dirname "$0")/.."
. shell/wine-env.sh
vex_windows_tools

for preset in win64 win32; do
  echo "== $preset"
  cmake --preset "$preset" -DVEX_WERROR=ON
  cmake --build --preset "$preset"
done

echo "== GUI tests under Wine"
vex_wine_locale
vex_wine_prefix "$PWD/build/wine-test" null
work=$(mktemp -d)
trap '"$VEX_WINESERVER" -k 2>/dev/null || true; rm -rf "$work"' EXIT
timeout 900 "$VEX_WINE" build/win64/vexilon-gui-test.exe \
  "$(winepath_of build/win64/vexilon.exe)" \
  "$(winepath_of src/vexsys.LSP)" "$(winepath_of "$work")"

echo "== vexilon-cli.exe under Wine"
answer=$(echo '(+ 1 2)' | "$VEX_WINE" build/win64/vexilon-cli.exe | tr -d '\r')
if [ "$answer" != "3.000000 " ]; then
  echo "vexilon-cli.exe answered '$answer' to (+ 1 2)" >&2
  exit 1
fi
echo "vexilon-cli.exe ok"
