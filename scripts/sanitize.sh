#!/usr/bin/env bash
# Targeted sanitizer runs: the unit suites and short show runs under asan and tsan.
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in asan tsan; do
    cmake --preset "$preset" -DVANTROSE_WERROR=ON >/dev/null
    cmake --build --preset "$preset"
    SDL_AUDIODRIVER=dummy ctest --preset "$preset" -j2 -L "sanitize-$preset|unit" -LE gui
done
