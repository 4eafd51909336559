#!/usr/bin/env bash
# Installs what building and testing Vexilon on Debian needs (as root, or
# through sudo). Packages already present are left alone.
#   tools/setup.sh          the native builds and their tests
#   tools/setup.sh web      the browser host: Emscripten, and Chromium with
#                           Node.js and npm for its tests
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libedit-dev librsvg2-bin time procps
  clang-format git)
if [ "${1:-}" = web ]; then
  packages=(cmake ninja-build emscripten chromium python3)
  # Node.js may come from elsewhere than Debian, with its own npm.
  command -v node >/dev/null || packages+=(nodejs)
  command -v npm >/dev/null || packages+=(npm)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
