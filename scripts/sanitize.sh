#!/usr/bin/env bash
# Targeted sanitizer runs: the unit suites under asan (clang, which also builds the fuzz target)
# and tsan, the whole show under asan (virtual clock), and the opening scenes under tsan on the
# real clock (ticks on the timer thread). Only the targets these runs need are built.
set -euo pipefail
cd "$(dirname "$0")/.."
export SDL_AUDIODRIVER=dummy
jobs="${VANTROSE_JOBS:-2}"

for preset in asan tsan; do
    cmake --preset "$preset" -DVANTROSE_WERROR=ON >/dev/null
    targets=(test_unit vantrose)
    [[ $preset == asan ]] && targets+=(archive_fuzz)
    cmake --build --preset "$preset" --target "${targets[@]}" -j "$jobs"
    ctest --preset "$preset" -j "$jobs" -L unit
done

status=0
build/asan/vantrose --headless --mode 400 --data build/asan/data --stats 2>build/asan/show.err || status=$?
[[ $status -eq 1 ]] || { tail -20 build/asan/show.err >&2; echo "sanitize: whole show under asan ended with status $status" >&2; exit 1; }

# The opening picture, the first layered rotozoom scene and the fades the timer thread runs under
# it. The music runs on wall time here (an order is 4 s, order 8 ends scene 2 after ~32 s);
# SIGINT then ends the show like Escape, with status 0.
status=0
TSAN_OPTIONS="halt_on_error=1" timeout --preserve-status -s INT 36 build/tsan/vantrose --headless --clock real \
    --mode 400 --data build/tsan/data --trace || status=$?
[[ $status -eq 0 ]] || { echo "sanitize: opening under tsan ended with status $status" >&2; exit 1; }
echo "sanitize: asan and tsan runs clean"
