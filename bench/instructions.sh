#!/usr/bin/env bash
# Instructions each shared benchmark program takes in vexilon-cli (release
# build), net of the start-up, counted by callgrind. Unlike times these are
# the same on every run, so they show small steps that the machine's noise
# hides; fib 20 is the figure per call.
#
#   bench/instructions.sh [programs folder]   (../shared/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
programs=${1:-../shared/bench}
command -v valgrind >/dev/null || { echo "valgrind is not installed"; exit 1; }
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target vexilon-cli >/dev/null
cli="$PWD/build/linux/vexilon-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src"
cp src/vexsys.LSP "$work/src/"
cd "$work"

# Instructions of one vexilon-cli run with the given arguments.
count() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$cli" "$@" 2>&1 |
    awk '/refs:/ {gsub(",", "", $4); print $4}'
}
base=$(count -e NIL)
fib='(defun fib (n) (cond ((minusp (- n 2)) n) (T (+ (fib (- n 1)) (fib (- n 2))))))'
net=$(($(count -e "$fib" -e "(fib 20)") - base))
printf '%-8s %14s  %s\n' "program" "instructions" "per unit"
printf '%-8s %14s  %s\n' "fib 20" "$net" "$((net / 21891)) per call"
for name in fib tak list queens loop; do
  args=()
  while IFS= read -r form; do args+=(-e "$form"); done < <(
    python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import compare
for f in compare.vexilon_forms(sys.argv[2]): print(f)' \
      "$OLDPWD/bench" "$OLDPWD/$programs/vexilon/$name.lsp")
  net=$(($(count "${args[@]}") - base))
  unit=""
  [ "$name" == "loop" ] && unit="$((net / 1000000)) per pass"
  printf '%-8s %14s  %s\n' "$name" "$net" "$unit"
done
