#!/usr/bin/env bash
# Sets up, builds and runs every test; then the same tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer (any report fails the run), and each fuzz target for a few
# seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
ctest --test-dir build -j2 --output-on-failure --timeout 300

CC=clang CXX=clang++ cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_SANITIZE=ON -DTARNWICK_FUZZ=ON -DTARNWICK_GUI=OFF >/dev/null
cmake --build build-sanitize -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir build-sanitize -j2 --output-on-failure --timeout 300
FUZZ_BUILD=build-sanitize scripts/fuzz.sh 5
