#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds, and runs every test: once in a normal build and
# once built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

scripts/build.sh build
ctest --test-dir build --output-on-failure -j "$jobs"

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
scripts/build.sh build-sanitize -DMANAGER_SANITIZE=ON -DMANAGER_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
ctest --test-dir build-sanitize --output-on-failure -j "$jobs" -LE no-sanitize

# The formula evaluator under libFuzzer for a minute.
scripts/fuzz.sh 60
