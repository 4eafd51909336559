#!/usr/bin/env bash
# Checks what a build cannot: every C++ file is formatted as .clang-format
# says, and no folder includes from a layer above its own. The layers, from
# the ground up: core/, memory/, reader/ and eval/ (the loader evaluates what
# it reads), turtle/, driver/, then the hosts console/, shell/ and web/.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
if ! git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror; then
  echo "check-source: run clang-format -i on the files above" >&2
  status=1
fi

# folder: the folders it must not include from
forbidden=(
  "core:memory reader eval turtle driver console shell web"
  "memory:reader eval turtle driver console shell web"
  "reader:turtle driver console shell web"
  "eval:turtle driver console shell web"
  "turtle:driver console shell web"
  "driver:console shell web"
)
for rule in "${forbidden[@]}"; do
  folder=${rule%%:*}
  pattern=$(echo "${rule#*:}" | sed 's/ /|/g')
  if git grep -nE "^#include \"($pattern)/" -- "$folder/" ; then
    echo "check-source: $folder/ includes from a layer above it" >&2
    status=1
  fi
done
exit $status
