#!/usr/bin/env bash
# Serves the page built by scripts/build-web.sh on 127.0.0.1 and prints its
# address (port 8080, or the next free one; PORT overrides).
#   scripts/serve-web.sh [PORT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exec node "$root/web/serve.mjs" "$root/build/web" "${1:-8080}"
