#!/usr/bin/env bash
# Fuzzes the archive reader for about a minute in the asan build (clang, address + undefined
# sanitizers, the library instrumented for coverage too).
# Usage: scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
cmake --preset fuzz -DVANTROSE_WERROR=ON >/dev/null
cmake --build --preset fuzz --target archive_fuzz -j "${VANTROSE_JOBS:-2}"

corpus=build/asan/archive_corpus
mkdir -p "$corpus"
# Seeds: one well-formed archive (entry 0 = 05 83 07 00) and one with a run cut short.
printf '\x00\x10\x05\x83\x07\x00\x00\x00\x00\x00\x04\x00\x00\x00\x14\x00\x00\x00\x10\x00\x00\x00' \
    >"$corpus/seed_valid"
printf '\x00\x10\x05\x83\x00\x00\x00\x00\x02\x00\x00\x00\x12\x00\x00\x00\x10\x00\x00\x00' \
    >"$corpus/seed_cut_run"
build/asan/archive_fuzz -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
    -print_final_stats=1 "$corpus"
