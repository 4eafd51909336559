#!/usr/bin/env bash
# Sets up, builds and starts the Vexilon console (a REPL) in the folder that
# holds the start-up library src/vexsys.LSP. Arguments go to vexilon-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh >/dev/null
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target vexilon-cli >/dev/null
exec build/linux/vexilon-cli "$@"
