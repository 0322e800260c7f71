#!/usr/bin/env bash
# Targeted sanitizer runs: the unit suites under asan and tsan, the whole show under asan
# (virtual clock), and the opening scenes under tsan on the real clock (ticks on the timer thread).
set -euo pipefail
cd "$(dirname "$0")/.."
export SDL_AUDIODRIVER=dummy

for preset in asan tsan; do
    cmake --preset "$preset" -DVANTROSE_WERROR=ON >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset" -j2 -L unit
done

status=0
build/asan/vantrose --headless --mode 400 --data build/asan/data --stats || status=$?
[[ $status -eq 1 ]] || { echo "sanitize: whole show under asan ended with status $status" >&2; exit 1; }

# The first scenes: the opening picture, the layered rotozooms and the pictures under them.
status=0
# The music runs on wall time here, so order 12 (the first rotozoom's end) comes after ~48 s;
# SIGINT then ends the show like Escape, with status 0.
TSAN_OPTIONS="halt_on_error=1" timeout --preserve-status -s INT 50 build/tsan/vantrose --headless --clock real \
    --mode 400 --data build/tsan/data --trace || status=$?
[[ $status -eq 0 ]] || { echo "sanitize: opening under tsan ended with status $status" >&2; exit 1; }
echo "sanitize: asan and tsan runs clean"
