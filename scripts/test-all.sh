#!/usr/bin/env bash
# Installs what the tests need, builds the native, Windows, sanitizer, fuzz
# and web builds, and runs every test of each. Exits non-zero if anything
# fails.
#   scripts/test-all.sh
# The Windows tests run under Wine; when DISPLAY is unset a private Xvfb is
# started for them and stopped at the end. TERVANO_FORCE_WIN64=1 runs them
# as on a machine without 32-bit execution: in build/win64 under 64-bit Wine.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
# The setup file is named with the version of CMakeLists.txt.
version=$(sed -n 's/^project(tervano VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
cd "$root"
jobs=${TERVANO_JOBS:-2}
t_start=$(date +%s)
# Seconds since a start time, with the load average (the machine is shared).
took() { echo "$(( $(date +%s) - $1 )) s (load $(cut -d' ' -f1-3 /proc/loadavg))"; }

xvfb_pid=""
cleanup() {
  local p
  for p in "$root/build/windows/wineprefix" "$root/build/win64/wineprefix"; do
    if [ -d "$p" ]; then WINEPREFIX="$p" wineserver -k >/dev/null 2>&1 || true; fi
  done
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Starts Xvfb on the first free display from :90 and exports DISPLAY.
start_xvfb() {
  local n i
  for n in $(seq 90 140); do
    if [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; then continue; fi
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >"$root/build/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for i in $(seq 100); do
      if [ -e "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        echo "== Xvfb on $DISPLAY (pid $xvfb_pid)"
        return 0
      fi
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
  done
  echo "test-all: could not start Xvfb" >&2
  return 1
}

echo "== installing dependencies"
if ! bash "$root/scripts/install-deps.sh" --all </dev/null; then
  echo "test-all: scripts/install-deps.sh --all failed" >&2
  echo "total: 0 passed, 1 failed"
  exit 1
fi
installed="dependencies checked in $(took "$t_start")"
mkdir -p "$root/build"

# 32-bit Wine needs a kernel that runs 32-bit x86 code. Where it cannot, the
# Windows tests run on the 64-bit build of the same sources under 64-bit
# Wine, and the 32-bit build compiles the program only.
builds=(native windows asan)
run32=1
if [ "${TERVANO_FORCE_WIN64:-0}" = 1 ]; then
  run32=0
  builds=(native windows win64 asan)
  echo "== TERVANO_FORCE_WIN64=1: Windows tests run in build/win64, as without 32-bit x86 code"
elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  run32=0
  builds=(native windows win64 asan)
  echo "== this machine runs no 32-bit x86 code: Windows tests run in build/win64"
fi

# The fuzz build needs clang and its libFuzzer runtime (install-deps --all
# brings both); without them it is left out and the summary says so.
fuzz_note=""
fuzz_runtime=$(clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a 2>/dev/null)
if [[ "$fuzz_runtime" == /* ]] && [ -f "$fuzz_runtime" ]; then
  builds+=(fuzz)
else
  fuzz_note="build/fuzz: left out (no clang with libFuzzer)"
fi

# Builds b and runs its tests; writes "PASSED FAILED TEXT" to build/b.result.
one_build() {
  local b=$1 result="$root/build/$1.result" program_only=0 build_args=("$1") t0 t1 built d log rc line passed failed all
  rm -f "$result"
  # The web build's CMake folder is beside the site it builds (build/web).
  local ctest_dir="$root/build/$b"
  [ "$b" = web ] && ctest_dir="$root/build/web-build"
  if [ "$b" = windows ] && [ "$run32" = 0 ]; then
    program_only=1
    build_args=(--no-tests "$b")
  fi
  t0=$(date +%s)
  if ! bash "$root/scripts/build.sh" "${build_args[@]}" </dev/null; then
    echo "0 1 build/$b: build failed after $(took "$t0")" >"$result"
    return
  fi
  built="built in $(took "$t0")"
  if [ "$program_only" = 1 ]; then
    # Its installer is still this build's own: check what it carries.
    d="$root/build/$b"
    if bash "$root/tests/installer/setup_check.sh" "$d/tervano-$version-setup.exe" "$d/tervano.exe" \
         "$d/help.chm" "$d/ctx64/shellext/tervano_ctx64.dll" "$d/shellext/tervano_ctx.dll" </dev/null; then
      echo "1 0 build/$b: program $built; setup contents checked; its other tests run in build/win64" >"$result"
    else
      echo "0 1 build/$b: program $built; setup contents check FAILED; its other tests run in build/win64" >"$result"
    fi
    return
  fi
  if { [ "$b" = windows ] || [ "$b" = win64 ]; } && [ -z "${DISPLAY:-}" ] && [ -z "$xvfb_pid" ]; then
    start_xvfb || { echo "0 1 build/$b: no X display" >"$result"; return; }
  fi
  if { [ "$b" = windows ] || [ "$b" = win64 ]; } && [ "$fuzz_late" = 1 ]; then
    # The Wine tests mostly wait for windows and processes: the fuzz build
    # and its minute of fuzzing run meanwhile, in a log of their own.
    fuzz_late=0
    echo "== build/fuzz: started beside the Wine tests (build/fuzz.log)"
    one_build fuzz >"$root/build/fuzz.log" 2>&1 &
    fuzz_pid=$!
  fi
  if { [ "$b" = windows ] || [ "$b" = win64 ]; } && [ "$web_late" = 1 ]; then
    # The web build and its Node and Chromium tests, likewise (they compare
    # with build/native, built before).
    web_late=0
    echo "== build/web: started beside the Wine tests (build/web.log)"
    one_build web >"$root/build/web.log" 2>&1 &
    web_pid=$!
  fi
  echo "== build/$b: ctest"
  log="$root/build/$b.ctest.log"
  t1=$(date +%s)
  ctest --test-dir "$ctest_dir" --output-on-failure --no-tests=error \
        --parallel "$jobs" --timeout 1200 </dev/null 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  # "N% tests passed, F tests failed out of T"
  line=$(grep -aE '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1)
  if [ -n "$line" ]; then
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    all=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((all - failed))
  else
    passed=0
    failed=1
  fi
  if [ "$rc" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
  echo "$passed $failed build/$b: $built; $passed passed, $failed failed in $(took "$t1")" >"$result"
}

# The fuzz build waits for the Wine tests to run beside them; without any,
# it runs last.
fuzz_late=0
fuzz_pid=""
if [ "${builds[-1]}" = fuzz ]; then
  unset 'builds[-1]'
  fuzz_late=1
fi
web_late=1
web_pid=""
# A build meant to run beside the Wine tests: run now when there were none,
# else wait for it and show its log when it failed.
finish_side_build() {
  local b=$1 late=$2 pid=$3
  if [ "$late" = 1 ]; then
    one_build "$b"
  elif [ -n "$pid" ]; then
    wait "$pid"
    grep -q '^[0-9]* 0 ' "$root/build/$b.result" 2>/dev/null || cat "$root/build/$b.log"
  else
    return
  fi
  builds+=("$b")
}
for b in "${builds[@]}"; do one_build "$b"; done
finish_side_build web "$web_late" "$web_pid"
finish_side_build fuzz "$fuzz_late" "$fuzz_pid"

total_pass=0
total_fail=0
summary=()
for b in "${builds[@]}"; do
  read -r passed failed text <"$root/build/$b.result" 2>/dev/null || { passed=0 failed=1 text="build/$b: no result"; }
  total_pass=$((total_pass + passed))
  total_fail=$((total_fail + failed))
  summary+=("$text")
done

echo
echo "== summary ($(took "$t_start"))"
echo "$installed"
for s in "${summary[@]}"; do echo "$s"; done
[ -z "$fuzz_note" ] || echo "$fuzz_note"
echo "total: $total_pass passed, $total_fail failed"
[ "$total_fail" -eq 0 ]
