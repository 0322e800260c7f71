#!/usr/bin/env bash
# Targeted sanitizer runs: the unit suites under asan (clang, which also builds the fuzz target)
# and tsan, the whole show once under asan (virtual clock), and the opening scenes under tsan on
# the real clock (ticks on the timer thread). Only the targets these runs need are built.
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

# The three show runs go side by side. The whole show under asan (virtual clock) runs as two
# halves, one per core: the first 12520 frames, and scene 26 (frame 12510) to the end with the
# scenes before it run unseen. The opening under tsan runs on the real clock (ticks on the timer
# thread, the music on wall time, an order every 4 s): order 8 ends scene 2 after ~32 s, then
# SIGINT ends the show like Escape, with status 0.
split_frames=12520 split_scene=26
trap 'kill $(jobs -p) 2>/dev/null || true' EXIT
asan_run() { build/asan/vantrose --headless --mode 400 --data build/asan/data --stats "$@"; }
asan_run --frames "$split_frames" 2>build/asan/first.err &
first=$!
asan_run --scene "$split_scene" --trace 2>build/asan/second.err &
second=$!
TSAN_OPTIONS="halt_on_error=1" timeout --preserve-status -s INT 36 build/tsan/vantrose --headless \
    --clock real --mode 400 --data build/tsan/data --trace 2>build/tsan/opening.err &
opening=$!

fail() { tail -20 "$1" >&2; echo "sanitize: $2" >&2; exit 1; }
status=0; wait $first || status=$?
[[ $status -eq 0 ]] || fail build/asan/first.err "the show's first half under asan ended with status $status"
status=0; wait $second || status=$?
[[ $status -eq 1 ]] || fail build/asan/second.err "the show's second half under asan ended with status $status"
start=$(sed -n "s/^scene $split_scene frame \([0-9]*\) .*/\1/p" build/asan/second.err)
[[ -n $start && $start -le $split_frames ]] ||
    fail build/asan/second.err "scene $split_scene starts at frame ${start:-?}, after the first half's end"
status=0; wait $opening || status=$?
[[ $status -eq 0 ]] || fail build/tsan/opening.err "the opening under tsan ended with status $status"
echo "sanitize: asan and tsan runs clean"
