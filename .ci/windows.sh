#!/usr/bin/env bash
# CI, Windows side: installs the mingw-w64 cross compilers and Wine (64- and
# 32-bit), builds vexilon.exe and vexilon-cli.exe for x86_64 and i686 with
# their release zips, and under Wine runs the GUI tests and the console
# program of each unpacked zip. Wine's null graphics driver runs the GUI tests
# without an X server; CUPS with a PDF queue as the default printer lets them
# print pages and look at them.
set -euo pipefail
cd "$(dirname "$0")/.."
. shell/wine-env.sh
vex_windows_tools
vex_pdf_printer
vex_wine_locale
vex_wine_prefix "$PWD/build/wine-test" null
work=$(mktemp -d)
trap '"$VEX_WINESERVER" -k 2>/dev/null || true; rm -rf "$work"
  if [ -n "$VEX_CUPSD_PID" ]; then kill "$VEX_CUPSD_PID"; wait; fi' EXIT

for preset in win64 win32; do
  build=build/$preset
  echo "== $preset"
  cmake --preset "$preset" -DVEX_WERROR=ON
  cmake --build --preset "$preset" --target all package

  echo "== $preset: GUI tests under Wine, on the unpacked release zip"
  zip=$PWD/$build/vexilon-3.15-$preset.zip
  (cd "$work" && cmake -E tar xf "$zip")
  release=$work/vexilon-3.15-$preset
  mkdir -p "$work/$preset"
  timeout 600 "$VEX_WINE" "$build/vexilon-gui-test.exe" \
    "$(winepath_of "$release/vexilon.exe")" "$(winepath_of "$work/$preset")" \
    "$(winepath_of "$HOME/PDF")"

  answer=$(echo '(+ 1 2)' | timeout 60 "$VEX_WINE" "$release/vexilon-cli.exe" |
    tr -d '\r')
  if [ "$answer" != "3.000000 " ]; then
    echo "vexilon-cli.exe answered '$answer' to (+ 1 2)" >&2
    exit 1
  fi
  echo "vexilon-cli.exe ok"
done
