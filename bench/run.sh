#!/usr/bin/env bash
# Runs the benchmark programs with vexilon-cli (release build) and prints
# the median wall time of several runs, the peak resident memory, the
# printed result (checked against the known answer) and the targets.
#
#   bench/run.sh [runs]        (default 5 runs per program)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
tools/setup.sh >/dev/null
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target vexilon-cli vexilon-bench-collect >/dev/null
cli="$PWD/build/linux/vexilon-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src"
cp src/vexsys.LSP "$work/src/"
cd "$work"

declare -a names programs answers
add() { names+=("$1"); programs+=("$2"); answers+=("$3"); }

add "fib 25" \
  "(progn (defun fib (n) (cond ((minusp (- n 2)) n) (T (+ (fib (- n 1)) (fib (- n 2)))))) (fib 25))" \
  "75025.000000 "
add "tak 18 12 6" \
  "(progn (defun tak (x y z) (cond ((minusp (- y x)) (tak (tak (- x 1) y z) (tak (- y 1) z x) (tak (- z 1) x y))) (T z))) (tak 18 12 6))" \
  "7.000000 "
add "list 100000 + reverse" \
  "(progn (defun build (n acc) (loop ((= n 0) acc) (setq acc (cons n acc)) (setq n (- n 1)))) (defun rev (l acc) (loop ((null l) acc) (setq acc (cons (car l) acc)) (setq l (cdr l)))) (car (rev (build 100000 NIL) NIL)))" \
  "100000.000000 "
add "8 queens" \
  "(progn (defun safe (q qs d) (cond ((null qs) T) ((= q (car qs)) NIL) ((= (- q (car qs)) d) NIL) ((= (- (car qs) q) d) NIL) (T (safe q (cdr qs) (+ d 1))))) (defun try (row qs n) (cond ((= row 0) 1) (T (place row qs n n 0)))) (defun place (row qs n c acc) (cond ((= c 0) acc) ((safe c qs 1) (place row qs n (- c 1) (+ acc (try (- row 1) (cons c qs) n)))) (T (place row qs n (- c 1) acc)))) (try 8 NIL 8))" \
  "92.000000 "
add "loop 1000000 setq" \
  "(progn (setq i 0) (loop ((= i 1000000) i) (setq i (+ i 1))))" \
  "1000000.000000 "
add "hash 2000 keys x10" \
  "(progn (defun fill (h n) (loop ((= n 0) h) (setf (gethash n h) (* n 2)) (setq n (- n 1)))) (defun readall (h n s) (loop ((= n 0) s) (setq s (+ s (gethash n h))) (setq n (- n 1)))) (defun rounds (h k s) (loop ((= k 0) s) (setq s (+ s (readall h 2000 0))) (setq k (- k 1)))) (rounds (fill (make-hash-table) 2000) 10 0))" \
  "40020000.000000 "
add "churn 10M conses (gc)" \
  "(progn (defun batch (k) (loop ((= k 0) T) (cons k k) (setq k (- k 1)))) (defun churn (n) (loop ((= n 0) T) (batch 1000) (setq n (- n 1)))) (churn 10000))" \
  "T "
add "start-up (empty)" "" ""

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
best() { sort -n | head -1; }
# Wall time of one run of a command, in ms.
wall() {
  local start end
  start=$(date +%s%N)
  "$@" </dev/null >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}

printf '%-24s %10s %8s %10s  %s\n' "program" "median ms" "best ms" "peak MB" "result"
for i in "${!names[@]}"; do
  times=()
  result=""
  peak=0
  for ((r = 0; r < runs; r++)); do
    if [ -n "${programs[$i]}" ]; then
      args=(-e "${programs[$i]}")
    else
      args=()
    fi
    start=$(date +%s%N)
    /usr/bin/time -f %M -o "$work/rss" "$cli" "${args[@]}" </dev/null >"$work/out" 2>"$work/err"
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000000 )))
    kb=$(cat "$work/rss")
    [ "$kb" -gt "$peak" ] && peak=$kb
    result=$(cat "$work/out")
  done
  med=$(printf '%s\n' "${times[@]}" | median)
  min=$(printf '%s\n' "${times[@]}" | best)
  mark="ok"
  [ "$result" == "${answers[$i]}" ] || mark="WRONG (expected '${answers[$i]}')"
  printf '%-24s %10s %8s %10.1f  %s %s\n' "${names[$i]}" "$med" "$min" "$(awk -v k="$peak" 'BEGIN{print k/1024}')" "'$result'" "$mark"
  case "${names[$i]}" in
    "start-up (empty)") startms=$med; startkb=$peak ;;
  esac
done

echo
"$OLDPWD/build/linux/vexilon-bench-collect"

echo
if command -v pil >/dev/null; then
  # The same program form for form: cond, a negative test of (- N 2), T.
  printf '%s\n' \
    "(de fib (N) (cond ((lt0 (- N 2)) N) (T (+ (fib (- N 1)) (fib (- N 2))))))" \
    "(fib 25)" "(bye)" >"$work/fib.l"
  # The two take turns, so that a busy moment of the machine hits both.
  vtimes=()
  ptimes=()
  for ((r = 0; r < runs; r++)); do
    vtimes+=("$(wall "$cli" -e "${programs[0]}")")
    ptimes+=("$(wall pil "$work/fib.l")")
  done
  echo "fib 25 (median / best of $runs, taking turns): vexilon" \
    "$(printf '%s\n' "${vtimes[@]}" | median) / $(printf '%s\n' "${vtimes[@]}" | best) ms," \
    "picolisp $(printf '%s\n' "${ptimes[@]}" | median) / $(printf '%s\n' "${ptimes[@]}" | best) ms" \
    "(target: vexilon no slower)"
else
  echo "fib 25: picolisp not installed (apt-get install picolisp) for the comparison"
fi
echo "start-up: ${startms} ms (target < 50), $((startkb / 1024)) MB resident (target < 20)"
