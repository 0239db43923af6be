#!/usr/bin/env bash
# Prints the include arrows between the folders of converter/, the Explorer
# extension (shellext), the web page's module (web), the benchmark (bench) and the test support
# (tests/support) as "from -> to (count)", then checks them against the
# allowed layering: each folder may include only the folders listed for it
# below. Exits 1 on a forbidden arrow. Usage: scripts/include-graph.sh [--check]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# The folder an included file belongs to: converter/X is X, tests/support is
# tests/support, any other test folder is tests.
folder_of() {
  case "$1" in
    converter/*/*) local rest=${1#converter/}; echo "${rest%%/*}" ;;
    shellext/*) echo shellext ;;
    web/*) echo web ;;
    bench/*) echo bench ;;
    tests/support/*) echo tests/support ;;
    tests/*) echo tests ;;
    *) echo other ;;
  esac
}

# An include is looked up beside the including file first, then in the
# include paths the builds use (converter/ and tests/); one found nowhere
# (the generated version header) stays in its own folder.
edges=$(
  grep -HoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+"' \
      converter/*/*.cpp converter/*/*.h shellext/*.cpp shellext/*.h web/src/*.cpp \
      bench/*.cpp bench/*.h tests/support/*.cpp tests/support/*.h |
    sed -E 's|^([^:]*):.*"([^"]+)".*|\1 \2|' |
    while read -r file inc; do
      from=$(folder_of "$file")
      for base in "$(dirname "$file")" converter tests; do
        if [[ -f "$base/$inc" ]]; then
          to=$(folder_of "$(realpath -m --relative-to="$root" "$base/$inc")")
          if [[ "$to" != "$from" ]]; then echo "$from -> $to"; fi
          break
        fi
      done
    done | sort | uniq -c | awk '{print $2, $3, $4, "(" $1 ")"}'
)
echo "$edges"

[[ "${1:-}" == "--check" ]] || exit 0
# Allowed uses, lowest layer first; the same as the libraries of CMakeLists.txt.
# The extension is loaded into Explorer on its own and uses nothing of the
# converter; the web page's module calls the jobs of app only; the
# benchmark and the test support may use any converter
# library, and the benchmark the test support.
all_converter="platform gif swf movie app ui"
declare -A allowed=(
  [platform]=""
  [gif]=""
  [swf]="platform"
  [movie]="gif swf platform"
  [app]="movie platform"
  [ui]="app platform"
  [shellext]=""
  [web]="app"
  [bench]="$all_converter tests/support"
  [tests/support]="$all_converter"
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
