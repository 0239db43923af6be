#!/usr/bin/env bash
# Prints the include arrows between the folders of converter/ ("from -> to
# (count)"), then checks them against the allowed layering: each folder may
# include only the folders listed for it below. Exits 1 on a forbidden arrow
# or a cycle. Usage: scripts/include-graph.sh [--check]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root/converter"

# An include names another folder as "../folder/x.h" or "folder/x.h" (the
# include path is converter/); anything else stays in its own folder.
edges=$(
  grep -HoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' */*.cpp */*.h |
    sed -E 's|^([^/]+)/[^:]*:.*"([^"]+)".*|\1 \2|' |
    while read -r from inc; do
      inc=${inc#../}
      to=${inc%%/*}
      if [[ "$inc" == */* && "$to" != "$from" && -d "$to" ]]; then echo "$from -> $to"; fi
    done | sort | uniq -c | awk '{print $2, $3, $4, "(" $1 ")"}'
)
echo "$edges"

[[ "${1:-}" == "--check" ]] || exit 0
# Allowed uses, lowest layer first; the same as the libraries of CMakeLists.txt.
declare -A allowed=(
  [platform]=""
  [gif]=""
  [swf]="platform"
  [movie]="gif swf platform"
  [app]="movie swf platform"
  [ui]="app platform"
)
bad=0
while read -r from _ to _; do
  [[ -z "$from" ]] && continue
  if [[ -z "${allowed[$from]+x}" || " ${allowed[$from]} " != *" $to "* ]]; then
    echo "forbidden: $from -> $to" >&2
    bad=1
  fi
done <<< "$edges"
exit $bad
