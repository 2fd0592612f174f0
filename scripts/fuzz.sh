#!/usr/bin/env bash
# Runs the fuzz targets under libFuzzer (clang, with AddressSanitizer and UndefinedBehaviorSanitizer)
# for the given number of seconds each (default 60). The corpora in the repository are copied, since
# libFuzzer adds what it finds to the folder it is given.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
dir=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMANAGER_LIBFUZZER=ON -DMANAGER_SANITIZE=ON -DMANAGER_BUILD_TESTS=OFF -DMANAGER_BUILD_BENCH=OFF >/dev/null
for target in formula_fuzz encodings_fuzz; do
    area="${target%_fuzz}"
    cmake --build "$dir" --target "$target" -j "$(nproc)"
    corpus="$(mktemp -d)"
    if [ -d "fuzz/$area/corpus" ]; then cp -r "fuzz/$area/corpus/." "$corpus/"; fi
    echo "fuzzing $target for ${seconds}s"
    "$dir/fuzz/$area/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
    rm -rf "$corpus"
done
