#!/usr/bin/env bash
# Runs every libFuzzer target for a while: scripts/fuzz.sh [seconds per target, default 60]
#
# The targets come from a clang build with -DTARNWICK_FUZZ=ON (FUZZ_BUILD, default
# build-fuzz; configured and built here when it is missing). Each target starts from its seeds
# in fuzz/corpus/<name> and keeps what it finds in FUZZ_BUILD/fuzz-work/<name>, so the seeds in
# the repository stay small. A crash, a leak, a sanitizer report, an input that takes more than
# 10 s or more than 512 MB ends the run with a non-zero status; the input that did it is saved
# as FUZZ_BUILD/fuzz-artifacts/<name>/crash-* (or leak-*, timeout-*, oom-*).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
build="${FUZZ_BUILD:-build-fuzz}"
jobs="${FUZZ_JOBS:-2}"

if ! ls "$build"/bin/fuzz_* >/dev/null 2>&1; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DTARNWICK_SANITIZE=ON -DTARNWICK_FUZZ=ON \
    -DTARNWICK_GUI=OFF >/dev/null
  cmake --build "$build" -j"$jobs"
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"

status=0
for program in "$build"/bin/fuzz_*; do
  name="$(basename "$program")"
  name="${name#fuzz_}"
  work="$build/fuzz-work/$name"
  artifacts="$build/fuzz-artifacts/$name"
  mkdir -p "$work" "$artifacts"
  log="$build/fuzz-work/$name.log"
  printf '%-18s %4ss ... ' "$name" "$seconds"
  if "$program" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=512 -max_len=4096 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "fuzz/corpus/$name" \
      >"$log" 2>&1; then
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    echo "ok (${runs:-?} runs, corpus $(ls "$work" | wc -l))"
  else
    echo "FAILED (see $log)"
    grep -E "ERROR|SUMMARY|Test unit written" "$log" | head -5 || true
    status=1
  fi
done
exit "$status"
