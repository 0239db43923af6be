#!/usr/bin/env bash
# Fuzzes the conversion for a while from a scratch copy of the seed corpus.
#   run_fuzz.sh FUZZER SEED_DIR WORK_DIR SECONDS [extra libFuzzer flags...]
# The seeds are never written; new inputs and any crash go under WORK_DIR.
# Fails on a crash, a leak, a sanitizer report, an input slower than 10 s or
# more than 2 GB of memory.
set -uo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4
shift 4
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
cp "$seeds"/* "$work/corpus/" || { echo "no seeds in $seeds" >&2; exit 1; }
# A small quarantine roughly doubles the rate (freed frame buffers of many
# megabytes are not cycled through 256 MB); a use after a recent free is
# still caught. Keep malloc_context_size at its default: without allocation
# stacks no leak is reported.
export ASAN_OPTIONS="quarantine_size_mb=16${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
# A GIF header can ask for a screen of 256 MB in a few bytes; such inputs
# get less of the fuzzer's time in proportion to how slow they run.
"$fuzzer" "$work/corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -detect_leaks=1 \
  -max_len=8192 -entropic_scale_per_exec_time=1 -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$@" \
  >"$work/fuzz.log" 2>&1
rc=$?
# The last status line: executions, coverage, corpus.
grep -E '^#[0-9]+' "$work/fuzz.log" | tail -n 1
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$work/fuzz.log"
if [ "$rc" -ne 0 ] || [ -n "$(ls -A "$work/artifacts")" ]; then
  tail -n 60 "$work/fuzz.log"
  echo "fuzz run failed (exit $rc); inputs in $work/artifacts" >&2
  exit 1
fi
echo "fuzz run clean: $(ls "$work/corpus" | wc -l) inputs in the corpus"
