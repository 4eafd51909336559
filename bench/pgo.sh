#!/usr/bin/env bash
# Builds the profile-guided release build (preset linux-pgo, in
# build/linux-pgo): an instrumented vexilon-cli runs the training programs
# (bench/train.lsp and the examples), then everything is built again with
# the counts they left, which tell the compiler which paths are hot.
#
#   bench/pgo.sh      then build/linux-pgo/vexilon-cli; ctest --preset linux-pgo
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cmake --preset linux-pgo -DVEX_PROFILE=generate >/dev/null
cmake --build --preset linux-pgo -j "$(nproc)" --target vexilon-cli >/dev/null
find build/linux-pgo -name '*.gcda' -delete
cli="$root/build/linux-pgo/vexilon-cli"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src"
cp src/vexsys.LSP "$work/src/"
cp -r examples "$work/examples"
# The REPL runs each form it reads; it takes no comments, so they go first.
{
  sed 's/;.*//' bench/train.lsp
  for file in examples/*.LSP; do
    echo "(load 'examples\\$(basename "$file" .LSP))"
  done
} >"$work/train.txt"
(cd "$work" && "$cli" --events <train.txt) >"$work/out"
if grep '^message:' "$work/out"; then
  echo "the training programs failed" >&2
  exit 1
fi

cmake --preset linux-pgo -DVEX_PROFILE=use >/dev/null
cmake --build --preset linux-pgo -j "$(nproc)"
