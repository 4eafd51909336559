#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each on its checked-in corpus plus a
# fresh run of SECONDS seconds (default 60). Findings land in
# build/fuzz/findings/<target>/ (for engines, with history.txt: replay it as
# fuzz/engines_fuzz.cpp says).
#
#   fuzz/run.sh [seconds]             every target
#   fuzz/run.sh 3600 engines          one target, for an hour
#
# A longer campaign keeps its corpus between runs in build/fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(typed eval load linefile engines)

if ! command -v clang++ >/dev/null || [ ! -e "$(clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a)" ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends clang libclang-rt-14-dev
fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

status=0
for t in "${targets[@]}"; do
  work="build/fuzz/corpus/$t"
  findings="build/fuzz/findings/$t"
  mkdir -p "$work" "$findings"
  dict=()
  case $t in eval | engines) dict=(-dict=fuzz/eval.dict) ;; esac
  # A difference of the engines also leaves the lines that led to it.
  [ "$t" != engines ] || export VEX_ENGINES_HISTORY="$findings/history.txt"
  echo "== $t: ${seconds}s"
  if ! "build/fuzz/fuzz/${t}_fuzz" "$work" "fuzz/corpus/$t" "${dict[@]}" \
      -max_total_time="$seconds" -max_len=4096 -timeout=60 -rss_limit_mb=4096 \
      -artifact_prefix="$findings/" -print_final_stats=1 2>"build/fuzz/$t.log"; then
    status=1
    tail -40 "build/fuzz/$t.log"
  fi
  grep -E "^(stat::number_of_executed_units|#[0-9]+.*DONE)" "build/fuzz/$t.log" | tail -2 || true
done
exit $status
