#!/usr/bin/env bash
# Benchmarks of vexilon-cli (the profile-guided release build, bench/pgo.sh):
# - the shared programs (fib, tak, list, queens, loop) against whichever of
#   PicoLisp and newLISP are installed, measured as bench/compare.py says
#   (net CPU, medians of the rounds, languages taking turns);
# - two programs of our own that work the collector (a hash table read
#   often; ten million short-lived conses), median CPU and peak memory;
# - one collection with about 100,000 live Cells, and the start-up.
#
#   bench/run.sh [rounds] [programs folder]   (9 rounds; ../shared/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-9}
programs=${2:-../shared/bench}
tools/setup.sh >/dev/null
bench/pgo.sh >/dev/null
cli="$PWD/build/linux-pgo/vexilon-cli"

if [ -d "$programs/vexilon" ]; then
  python3 bench/compare.py "$cli" "$programs" "$rounds"
else
  echo "no shared programs in $programs: the comparison is left out"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src"
cp src/vexsys.LSP "$work/src/"
cd "$work"
echo
printf '%-28s %12s %10s  %s\n' "program" "median CPU ms" "peak MB" "result"
own() {
  local name=$1 program=$2 answer=$3 times=() peak=0 result=""
  for ((r = 0; r < rounds; r++)); do
    /usr/bin/time -f "%U %S %M" -o "$work/usage" "$cli" -e "$program" >"$work/out" 2>/dev/null
    read -r user sys kb <"$work/usage"
    times+=("$(awk -v u="$user" -v s="$sys" 'BEGIN {print (u + s) * 1000}')")
    [ "$kb" -gt "$peak" ] && peak=$kb
    result=$(cat "$work/out")
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  local mark="ok"
  [ "$result" == "$answer" ] || mark="WRONG (expected '$answer')"
  printf '%-28s %12s %10.1f  %s %s\n' "$name" "$median" "$(awk -v k="$peak" 'BEGIN{print k/1024}')" "'$result'" "$mark"
}
own "hash 2000 keys x10" \
  "(progn (defun fill (h n) (loop ((= n 0) h) (setf (gethash n h) (* n 2)) (setq n (- n 1)))) (defun readall (h n s) (loop ((= n 0) s) (setq s (+ s (gethash n h))) (setq n (- n 1)))) (defun rounds (h k s) (loop ((= k 0) s) (setq s (+ s (readall h 2000 0))) (setq k (- k 1)))) (rounds (fill (make-hash-table) 2000) 10 0))" \
  "40020000.000000 "
own "churn 10M conses" \
  "(progn (defun batch (k) (loop ((= k 0) T) (cons k k) (setq k (- k 1)))) (defun churn (n) (loop ((= n 0) T) (batch 1000) (setq n (- n 1)))) (churn 10000))" \
  "T "
own "start-up (nothing to run)" "" ""
echo
"$OLDPWD/build/linux-pgo/vexilon-bench-collect"
