#!/usr/bin/env bash
# Converts every GIF of the given folders with `tervano -quite` under a set of
# stored option sets and prints one line per conversion: option set, GIF,
# SHA-256 of the movie and of the page ("-" when none was written).
#   movie_digests.sh TERVANO WORK_DIR GIF_DIR...
#   movie_digests.sh --check EXPECTED [--threads "1 2 8"] TERVANO WORK_DIR GIF_DIR...
# With --check the lines are compared with EXPECTED (made the same way by an
# earlier build); any difference fails. Make EXPECTED anew only when a change
# of the movies is intended. --threads runs every conversion once per
# compression thread count (TERVANO_THREADS), each against EXPECTED.
set -uo pipefail
# Sorted lists are compared with files sorted byte by byte, and the
# system's messages are read in English: the caller's locale must not count.
export LC_ALL=C

expected=""
if [ "${1:-}" = --check ]; then
  expected=$2
  shift 2
fi
thread_counts=("")
if [ "${1:-}" = --threads ]; then
  read -ra thread_counts <<<"$2"
  shift 2
fi
tervano=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$2
shift 2
if [ ! -x "$tervano" ]; then
  echo "movie identity: no program at $1"
  exit 1
fi

# name|stored values, one "Name=dword:N" or "Name=\"text\"" each, ";"-separated.
option_sets=(
  'none|'
  'border|"OptionTransparent"=dword:00000001'
  'crop-bg|"OptionCanvasSize"=dword:00000001;"OptionBackGround"=dword:00000001'
  'crop|"OptionCanvasSize"=dword:00000001'
  'border-crop-bg-protect|"OptionTransparent"=dword:00000001;"OptionCanvasSize"=dword:00000001;"OptionBackGround"=dword:00000001;"OptionProtect"=dword:00000001'
  'loop-forever|"OptionChangeLoop"=dword:00000001;"OptionLoopForever"=dword:00000001'
  'play-once|"OptionChangeLoop"=dword:00000001;"OptionLoopValue"=dword:00000001'
  'play-5-protect|"OptionChangeLoop"=dword:00000001;"OptionLoopValue"=dword:00000005;"OptionProtect"=dword:00000001'
  'link-empty-html|"OptionURL"=dword:00000001;"OptionURLName"="";"OptionHTML"=dword:00000001;"OptionHideMenu"=dword:00000001'
  'link-html-bg-menu-off|"OptionURL"=dword:00000001;"OptionURLName"="http://www.tervano.example/a?b=1&c=2";"OptionHTML"=dword:00000001;"OptionBackGround"=dword:00000001'
  'all|"OptionTransparent"=dword:00000001;"OptionHTML"=dword:00000001;"OptionHideMenu"=dword:00000000;"OptionBackGround"=dword:00000001;"OptionCanvasSize"=dword:00000001;"OptionProtect"=dword:00000001;"OptionURL"=dword:00000001;"OptionURLName"="http://www.tervano.example/";"OptionChangeLoop"=dword:00000001;"OptionLoopForever"=dword:00000000;"OptionLoopValue"=dword:00000003'
)

digest() { if [ -f "$1" ]; then sha256sum <"$1" | cut -c1-64; else echo -; fi; }

# Converts every GIF with one option set: convert_set SET RUN_DIR THREADS GIF_DIR...
convert_set() {
  local set=$1 run=$2 threads=$3 name values dir folder g base p
  shift 3
  name=${set%%|*}
  values=${set#*|}
  dir="$run/$name"
  mkdir -p "$dir/config" "$dir/gifs"
  : >"$dir/lines.txt"
  {
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Tervano]\r\n'
    IFS=';' read -ra pairs <<<"$values"
    for p in "${pairs[@]}"; do [ -n "$p" ] && printf '%s\r\n' "$p"; done
  } >"$dir/config/hkey_local_machine+software+tervano.reg"
  for folder in "$@"; do
    for g in "$folder"/*.gif; do
      [ -f "$g" ] || continue
      base=$(basename "$g" .gif)
      cp "$g" "$dir/gifs/$base.gif"
      (cd "$dir/gifs" && env TERVANO_CONFIG_DIR="$dir/config" ${threads:+TERVANO_THREADS=$threads} \
        "$tervano" -quite "$base.gif" </dev/null >/dev/null 2>&1)
      echo "$name $base $(digest "$dir/gifs/$base.swf") $(digest "$dir/gifs/$base.htm")" >>"$dir/lines.txt"
    done
  done
}

jobs=$(nproc 2>/dev/null || echo 2)
rm -rf "$work"
mkdir -p "$work"
status=0
for threads in "${thread_counts[@]}"; do
  label=${threads:+ (TERVANO_THREADS=$threads)}
  run="$work${threads:+/threads-$threads}"
  mkdir -p "$run"
  lines="$run/digests.txt"
  : >"$lines"
  # The option sets run side by side, each in its own folder and list.
  running=0
  for set in "${option_sets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
      wait -n
      running=$((running - 1))
    fi
    convert_set "$set" "$run" "$threads" "$@" &
    running=$((running + 1))
  done
  wait
  for set in "${option_sets[@]}"; do cat "$run/${set%%|*}/lines.txt" >>"$lines"; done
  sort -o "$lines" "$lines"

  if [ -z "$expected" ]; then
    cat "$lines"
    exit 0
  fi
  total=$(wc -l <"$lines")
  if [ "$total" -eq 0 ]; then
    echo "movie identity: no GIF converted"
    exit 1
  fi
  if diff -u "$expected" "$lines" >"$run/diff.txt"; then
    echo "movie identity$label: $total conversions, all movies and pages as expected"
  else
    echo "movie identity$label: movies or pages differ from $expected:"
    grep '^[-+][^-+]' "$run/diff.txt" | head -n 40
    status=1
  fi
done
exit $status
