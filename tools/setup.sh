#!/usr/bin/env bash
# Installs what building and testing Vexilon on Debian needs (as root, or
# through sudo). Packages already present are left alone.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev libedit-dev librsvg2-bin time procps
  clang-format git)
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
