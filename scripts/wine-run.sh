#!/usr/bin/env bash
# Runs a Windows program under Wine and passes its exit code through.
#   scripts/wine-run.sh [--arch win32|win64] [--prefix DIR] PROGRAM.exe [ARGS...]
# The prefix (default: $WINEPREFIX, else build/windows/wineprefix) is created
# on first use; a lock keeps parallel tests from creating it twice. The
# user's ~/.wine is never used. Programs see the Chinese locale, so the ANSI
# code page is 936, unless TERVANO_WINE_LANG names another.
set -euo pipefail

arch=win32
prefix="${WINEPREFIX:-}"
while [ "$#" -gt 0 ]; do
  case "$1" in
    --arch) arch="$2"; shift 2 ;;
    --prefix) prefix="$2"; shift 2 ;;
    *) break ;;
  esac
done
if [ "$#" -lt 1 ]; then
  echo "usage: $0 [--arch win32|win64] [--prefix DIR] PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
[ -n "$prefix" ] || prefix="$(cd "$(dirname "$0")/.." && pwd)/build/windows/wineprefix"
case "$prefix" in /*) ;; *) prefix="$PWD/$prefix" ;; esac
prefix="${prefix%/}"
if [ "$prefix" = "${HOME:-/nonexistent}/.wine" ]; then
  echo "wine-run: refusing to use $prefix" >&2
  exit 2
fi

case "$arch" in
  win32)
    loader=wine
    ;;
  win64)
    # /usr/bin/wine prefers the 32-bit loader whenever it is installed.
    loader=/usr/lib/wine/wine64
    [ -x "$loader" ] || loader=wine64
    export WINELOADER="$loader"
    ;;
  *) echo "wine-run: unknown arch '$arch'" >&2; exit 2 ;;
esac

export WINEPREFIX="$prefix"
export WINEARCH="$arch"
export WINEDEBUG=-all
# TERVANO_WINE_LANG picks another locale (en_US.UTF-8: code page 1252).
export LANG="${TERVANO_WINE_LANG:-zh_CN.UTF-8}"
export LC_ALL="$LANG"
# No Mono, no Gecko (stops their install prompts), no menu entries.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

ready="$prefix/.tervano-ready"
if [ ! -e "$ready" ]; then
  if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
    echo "wine-run: locale zh_CN.UTF-8 is not generated; Wine's code page will not be 936 (run scripts/install-deps.sh --all)" >&2
  fi
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    [ -e "$ready" ] && exit 0
    rm -rf "$prefix"
    if ! "$loader" wineboot --init </dev/null >"$prefix.log" 2>&1; then
      echo "wine-run: could not create the Wine prefix $prefix:" >&2
      cat "$prefix.log" >&2
      if [ "$arch" = win32 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo "wine-run: this machine cannot run 32-bit x86 programs; use the 64-bit build (cmake/mingw-x86_64.cmake)" >&2
      fi
      exit 1
    fi
    # Dialog fonts: the Chinese dialog font and SimSun map to a CJK font.
    # UTF-16 keeps the key names intact whatever the code page.
    reg="$prefix/font-replacements.reg"
    { printf '\xff\xfe'
      printf '%s\r\n' \
        'Windows Registry Editor Version 5.00' '' \
        '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
        '"宋体"="WenQuanYi Micro Hei"' \
        '"SimSun"="WenQuanYi Micro Hei"' | iconv -f UTF-8 -t UTF-16LE
    } >"$reg"
    "$loader" regedit "$reg" </dev/null >>"$prefix.log" 2>&1
    wineserver -w
    touch "$ready"
  ) 9>"$prefix.lock"
fi

# Wine's helper processes (wineserver, services.exe, ...) inherit the
# program's stdout and stderr and outlive it by seconds; a caller that reads
# a pipe (ctest) would wait for them. So the program writes to files, which
# are copied out once it has ended.
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=/usr/lib/wine/wineserver32
[ -x "$server" ] || server=wineserver
# A wineserver that stays 30 s after the last program keeps Wine's services
# up between tests (about 4 s saved per program). No-op if one runs.
"$server" -p30 </dev/null >/dev/null 2>&1 || true
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
err="$out.err"
trap 'rm -f "$out" "$err"' EXIT
rc=0
"$loader" "$@" >"$out" 2>"$err" || rc=$?
cat "$out"
cat "$err" >&2
exit "$rc"
