#!/usr/bin/env bash
# Installs every Debian and npm package the build and the tests need.
# Safe to run again: it only installs what is missing.
#   scripts/install-deps.sh          native build and sample conversion
#   scripts/install-deps.sh --deb    also the Debian packaging tools
#   scripts/install-deps.sh --web    also the WebAssembly build (build/web)
#   scripts/install-deps.sh --all    also the Windows cross build, Wine, test
#                                    tools, the Debian packaging tools and the
#                                    WebAssembly build
set -euo pipefail

want_all=0
want_deb=0
want_web=0
case "${1:-}" in
  --all) want_all=1; want_deb=1 ;;
  --deb) want_deb=1 ;;
  --web) want_web=1 ;;
esac

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

missing=()
need() {  # need PACKAGE...: queue the ones dpkg does not list as installed
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
}

need build-essential cmake ninja-build zlib1g-dev
if [ "$want_deb" = 1 ]; then
  # scripts/make-deb.sh and the package's test.
  need dpkg-dev debhelper fakeroot lintian
fi
if [ "$want_all" = 1 ]; then
  need googletest libgtest-dev libgif-dev
  # The tests use the committed GIFs of tests/fixtures/gifs, no ffmpeg.
  # ImageMagick redraws the program's pictures (scripts/make-art.sh) and
  # takes window screenshots (`import`); icoutils and libxml2-utils read the
  # Windows program's manifest back (tests/desktop/program_image.sh).
  need imagemagick icoutils libxml2-utils
  need mingw-w64 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix libz-mingw-w64-dev
  # 64-bit Windows build and Wine: the Windows tests run there on machines
  # whose kernel executes no 32-bit code. The 32-bit build needs the 64-bit
  # compilers too, for the tervano_ctx64.dll of its installer.
  need g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64
  need locales xvfb xauth fonts-wqy-microhei
  # Installer (makensis), help file compiler (chmcmd) and a second CHM
  # reader (extract_chmLib) for the help file's test.
  need nsis fp-utils libchm-bin
  # 7z lists and unpacks an NSIS installer: the check of what a setup carries.
  need p7zip-full
  # clang with its sanitizer and libFuzzer runtimes for the fuzz build.
  need clang libclang-rt-14-dev
  # Browser in which the player check runs Ruffle (never a downloaded one).
  need chromium
  # GNU parallel for the test of the README's recipe across hosts.
  need parallel
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    updated=0
  fi
  need wine wine32:i386
  command -v node >/dev/null 2>&1 || need nodejs npm
fi
if [ "$want_all" = 1 ] || [ "$want_web" = 1 ]; then
  # The WebAssembly build: Debian's emscripten (its optimiser needs
  # node-acorn) and zlib's Debian source package, compiled with it.
  need emscripten node-acorn dpkg-dev
  command -v node >/dev/null 2>&1 || need nodejs npm
fi

if [ "${#missing[@]}" -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "$want_all" = 1 ]; then
  # Wine's ANSI code page follows the locale: zh_CN.UTF-8 gives code page
  # 936, en_US.UTF-8 code page 1252 (the Windows tests run in both).
  generate=0
  for loc in zh_CN en_US; do
    if ! locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8$"; then
      $SUDO sed -i "s/^# *\($loc.UTF-8 UTF-8\)/\1/" /etc/locale.gen
      grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
      generate=1
    fi
  done
  [ "$generate" = 0 ] || $SUDO locale-gen >/dev/null
  # Independent SWF parser used by the tests.
  here=$(cd "$(dirname "$0")/.." && pwd)
  if [ ! -d "$here/tests/swfcheck/node_modules/swf-parser" ]; then
    (cd "$here/tests/swfcheck" && npm ci --no-audit --no-fund --loglevel=error)
  fi
  # Ruffle and the browser driver of the player check.
  if [ ! -d "$here/tests/player/node_modules/@ruffle-rs/ruffle" ] ||
     [ ! -d "$here/tests/player/node_modules/playwright-core" ]; then
    (cd "$here/tests/player" &&
      PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
  fi
fi

if [ "$want_all" = 1 ] || [ "$want_web" = 1 ]; then
  here=$(cd "$(dirname "$0")/.." && pwd)
  # zlib's sources for the WebAssembly build, from the same Debian suite as
  # the installed packages: a deb-src entry for it first.
  zlib_src="$here/build/zlib-source"
  if ! ls -d "$zlib_src"/zlib-*/ >/dev/null 2>&1; then
    if ! apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -qx Sources; then
      suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
      printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$suite" "$suite" | $SUDO tee /etc/apt/sources.list.d/tervano-deb-src.sources >/dev/null
      $SUDO apt-get update -qq
    fi
    rm -rf "$zlib_src.part"
    mkdir -p "$zlib_src.part"
    (cd "$zlib_src.part" && apt-get source -qq --only-source zlib >/dev/null)
    rm -rf "$zlib_src"
    mv "$zlib_src.part" "$zlib_src"
  fi
  # fflate (the zip of "download all") and Ruffle, copied into build/web.
  if [ ! -d "$here/web/node_modules/fflate" ] || [ ! -d "$here/web/node_modules/@ruffle-rs/ruffle" ] ||
     [ ! -d "$here/web/node_modules/playwright-core" ]; then
    (cd "$here/web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
  fi
fi
