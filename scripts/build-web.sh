#!/usr/bin/env bash
# Installs what the web build needs when it is missing (Debian's emscripten
# and node-acorn, zlib's Debian sources, the npm packages of web/) and builds
# the page into build/web: index.html and everything it loads, ready for any
# static web host. scripts/serve-web.sh serves it locally.
#   scripts/build-web.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh" --web
bash "$root/scripts/build.sh" web
echo "build-web: the page is in $root/build/web (serve it with scripts/serve-web.sh)"
