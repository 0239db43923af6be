#!/usr/bin/env bash
# Builds the native program and converts every GIF in samples/ to a movie.
#   scripts/run-samples.sh
# The GIFs are copied to out/samples/ first, because the program writes each
# movie beside its source.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

shopt -s nullglob
gifs=(samples/*.gif samples/*.GIF)
if [ "${#gifs[@]}" -eq 0 ]; then
  echo "run-samples: no GIF files in $root/samples/ - nothing to convert." >&2
  exit 1
fi

bash scripts/install-deps.sh </dev/null
bash scripts/build.sh --no-tests native </dev/null

out="$root/out/samples"
mkdir -p "$out"
tervano="$root/build/native/tervano"
failed=0
made=()
for g in "${gifs[@]}"; do
  copy="$out/$(basename "$g")"
  cp -f "$g" "$copy"
  movie="${copy%.*}.swf"
  rm -f "$movie"
  if ! "$tervano" -quite "$copy"; then
    echo "run-samples: tervano failed on $copy" >&2
  fi
  if [ -s "$movie" ]; then
    made+=("$movie")
  else
    echo "run-samples: no movie written for $copy" >&2
    failed=$((failed + 1))
  fi
done

echo
echo "Movies written (${#made[@]} of ${#gifs[@]}):"
for m in "${made[@]}"; do
  printf '  %s  %s bytes\n' "$m" "$(stat -c %s "$m")"
done
[ "$failed" -eq 0 ]
