#!/usr/bin/env bash
# Builds the browser host and serves its site on this machine:
#   tools/web.sh [PORT]        (8000 by default)
# then open the address it prints. Any static file server can serve
# build/wasm/site; this one, Python's, also sends the two headers that make
# the page cross-origin isolated, which spares the first visit the page's
# service worker and a second load.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh web
cmake --preset wasm
cmake --build --preset wasm
port="${1:-8000}"
echo "Vexilon: http://127.0.0.1:$port/ (Ctrl-C ends the server)"
exec python3 - "$port" build/wasm/site <<'EOF_PYTHON'
import functools, http.server, sys

class Handler(http.server.SimpleHTTPRequestHandler):
    def end_headers(self):
        self.send_header("Cross-Origin-Opener-Policy", "same-origin")
        self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        super().end_headers()

handler = functools.partial(Handler, directory=sys.argv[2])
http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), handler).serve_forever()
EOF_PYTHON
