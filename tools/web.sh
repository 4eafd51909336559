#!/usr/bin/env bash
# Builds the browser host and serves its site on this machine:
#   tools/web.sh [PORT]        (8000 by default)
# then open the address it prints. Any static file server can serve
# build/wasm/site; this one is Python's.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh web
cmake --preset wasm
cmake --build --preset wasm
port="${1:-8000}"
echo "Vexilon: http://127.0.0.1:$port/ (Ctrl-C ends the server)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build/wasm/site
