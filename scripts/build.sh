#!/usr/bin/env bash
# Configures and builds Tervano.
#   scripts/build.sh [--no-tests] [native] [windows] [asan] [win64] [fuzz] [web]
# With no build named, builds the first three:
#   build/native   g++, with tests
#   build/windows  32-bit Windows (mingw-w64), tests run under Wine; its
#                  installer carries tervano_ctx64.dll, built in build/windows/ctx64
#   build/asan     g++ with AddressSanitizer and UBSan
#   build/win64    64-bit Windows, for running the Windows tests under 64-bit
#                  Wine where the kernel executes no 32-bit code
#   build/fuzz     clang, the libFuzzer target under ASan and UBSan, with its
#                  corpus regression and 60-second fuzzing tests
#   web            emscripten: the page in build/web, its CMake build and
#                  tests in build/web-build (scripts/build-web.sh installs
#                  what it needs first)
# --no-tests configures without the test programs (for a plain program build).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${TERVANO_JOBS:-2}

testing=ON
builds=()
for arg in "$@"; do
  case "$arg" in
    --no-tests) testing=OFF ;;
    native|windows|asan|win64|fuzz|web) builds+=("$arg") ;;
    -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
    *) echo "build.sh: unknown argument '$arg' (expected native, windows, asan, win64, fuzz, web or --no-tests)" >&2; exit 2 ;;
  esac
done
[ "${#builds[@]}" -gt 0 ] || builds=(native windows asan)

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

build_one() {
  local name=$1 dir="$root/build/$1" args=() compilers=() configure=(cmake)
  case "$name" in
    native)  args=() ;;
    windows) args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake") ;;
    asan)    args=(-DTERVANO_SANITIZE=ON) ;;
    win64)   args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake") ;;
    fuzz)    args=(-DTERVANO_FUZZ=ON); compilers=(CC=clang CXX=clang++) ;;
    # build/web is the site itself; CMake's own files stay beside it.
    web)     dir="$root/build/web-build"; args=(-DCMAKE_BUILD_TYPE=Release); configure=(emcmake cmake)
             compilers=(NODE_PATH=/usr/share/nodejs) ;;
  esac
  # A folder configured with another generator cannot be reused.
  if [ -f "$dir/CMakeCache.txt" ] && [ "${#generator[@]}" -gt 0 ] \
     && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
  fi
  echo "== build/$name: configure"
  env "${compilers[@]}" "${configure[@]}" -S "$root" -B "$dir" "${generator[@]}" -DBUILD_TESTING=$testing "${args[@]}" >"$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log" >&2; echo "build/$name: configure failed" >&2; return 1; }
  echo "== build/$name: build"
  # The level also holds the nested build of the 32-bit build's
  # tervano_ctx64.dll.
  CMAKE_BUILD_PARALLEL_LEVEL=$jobs cmake --build "$dir" --parallel "$jobs"
}

mkdir -p "$root/build"
status=0
for b in "${builds[@]}"; do
  if ! build_one "$b"; then
    echo "build/$b: FAILED" >&2
    status=1
  fi
done
exit $status
