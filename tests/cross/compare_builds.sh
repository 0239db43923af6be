#!/usr/bin/env bash
# Converts the same GIF files with the native program and with the Windows
# program (under Wine) and compares every byte of the movies and pages they
# write, once with no stored options and once with every option stored.
#   compare_builds.sh NATIVE_TERVANO WINDOWS_TERVANO_EXE WINE_ARCH WORK_DIR
set -uo pipefail

native=$1
exe=$2
arch=$3  # win32 or win64
work=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
prefix="$(dirname "$exe")/wineprefix"
if [ ! -x "$native" ]; then
  echo "cross-build identity: no native program at $native (build it first)"
  exit 77
fi

wine_run() {
  if [ "$arch" = win64 ]; then
    bash "$root/scripts/wine-run.sh" --prefix "$prefix" --arch win64 "$@"
  else
    bash "$root/scripts/wine-run.sh" --prefix "$prefix" "$@"
  fi
}

rm -rf "$work"
mkdir -p "$work/gifs"
# The samples and the GIFs that other programs made (tests/fixtures/gifs).
if ! cp "$root"/samples/*.gif "$root"/tests/fixtures/gifs/*.gif "$work/gifs/"; then
  echo "cross-build identity: cannot copy the sample and fixture GIFs"
  exit 1
fi
printf 'not a gif at all' >"$work/gifs/notgif.gif"
printf 'GIF89a\x20\x00' >"$work/gifs/cut.gif"

store="$work/store.reg"
cat >"$store" <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Tervano]
"OptionTransparent"=dword:00000001
"OptionHTML"=dword:00000001
"OptionHideMenu"=dword:00000000
"OptionBackGround"=dword:00000001
"OptionCanvasSize"=dword:00000001
"OptionProtect"=dword:00000001
"OptionURL"=dword:00000001
"OptionURLName"="http://www.tervano.example/click?a=1&b=2"
"OptionChangeLoop"=dword:00000001
"OptionLoopForever"=dword:00000000
"OptionLoopValue"=dword:00000003
REG

passed=0
failed=0
for mode in plain stored; do
  lin="$work/$mode/linux"
  win="$work/$mode/windows"
  mkdir -p "$lin" "$win" "$work/$mode/config"
  cp "$work"/gifs/* "$lin/"
  cp "$work"/gifs/* "$win/"
  wine_run reg delete 'HKLM\Software\Tervano' /f >/dev/null 2>&1
  if [ "$mode" = stored ]; then
    # The native store reads the same .reg text that Windows' regedit imports.
    cp "$store" "$work/$mode/config/hkey_local_machine+software+tervano.reg"
    wine_run regedit /S "$(winepath -w "$store" 2>/dev/null || echo "Z:${store//\//\\}")" >/dev/null 2>&1
  fi
  for g in "$lin"/*.gif; do
    TERVANO_CONFIG_DIR="$work/$mode/config" "$native" -quite "$g" </dev/null
  done
  for g in "$win"/*.gif; do
    wine_run "$exe" -quite "Z:${g//\//\\}" </dev/null >/dev/null 2>&1
  done
  wine_run reg delete 'HKLM\Software\Tervano' /f >/dev/null 2>&1
  for g in "$lin"/*.gif; do
    base=$(basename "$g" .gif)
    for ext in swf htm; do
      a="$lin/$base.$ext"
      b="$win/$base.$ext"
      if [ "$ext" = htm ] && [ "$mode" = plain ]; then
        if [ -e "$a" ] || [ -e "$b" ]; then
          echo "FAIL $mode/$base.htm: a page was written with the page option off"
          failed=$((failed + 1))
        fi
        continue
      fi
      if [ "$base" = notgif ]; then
        # No movie or page from a source that is no GIF, on either side.
        if [ -e "$a" ] || [ -e "$b" ]; then
          echo "FAIL $mode/$base.$ext: written from a source that is no GIF"
          failed=$((failed + 1))
        else
          passed=$((passed + 1))
        fi
      elif [ ! -s "$a" ] || [ ! -s "$b" ]; then
        echo "FAIL $mode/$base.$ext: missing (linux: $( [ -e "$a" ] && echo yes || echo no), windows: $( [ -e "$b" ] && echo yes || echo no))"
        failed=$((failed + 1))
      elif cmp -s "$a" "$b"; then
        passed=$((passed + 1))
      else
        echo "FAIL $mode/$base.$ext differs: $(cmp "$a" "$b" 2>&1 | head -n 1)"
        failed=$((failed + 1))
      fi
    done
  done
done
echo "cross-build identity ($arch): $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
