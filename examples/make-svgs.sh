#!/bin/sh
# Renders every example program to examples/svg/NAME.svg with the console
# host, as tests/examples_test.cpp expects them. Run it from anywhere after
# changing an example, the start-up library or the console canvas, look at
# the pictures, and commit them:
#
#   examples/make-svgs.sh [path/to/vexilon-cli]
#
# The default is build/linux/vexilon-cli (the linux preset) under the
# repository root. Each example runs in a scratch folder holding
# src/vexsys.LSP and a copy of examples/, on a client area of 800 x 600
# pixels, with no mouse: getpoint answers NIL and getcorner its own anchor.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$root/build/linux/vexilon-cli}
case $cli in /*) ;; *) cli=$(pwd)/$cli ;; esac
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/src" "$root/examples/svg"
cp "$root/src/vexsys.LSP" "$scratch/src/"
status=0
for file in "$root"/examples/*.LSP; do
  name=$(basename "$file" .LSP)
  rm -rf "$scratch/examples"
  cp -r "$root/examples" "$scratch/examples"
  out=$(cd "$scratch" && "$cli" --events --svg "$root/examples/svg/$name.svg" \
        -e "(load 'examples\\$name)")
  if printf '%s\n' "$out" | grep -q '^message:'; then
    printf '%s: %s\n' "$name" "$(printf '%s\n' "$out" | grep '^message:')" >&2
    status=1
  else
    echo "examples/svg/$name.svg"
  fi
done
exit $status
