#!/usr/bin/env bash
# Writes frames of the show as PNG pictures to look at: every K-th presented frame of a headless
# run (virtual clock, the built data). Further options go to the program (--mode 480, --frames).
# Usage: scripts/frames.sh DIR [K] [options]
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:?usage: scripts/frames.sh DIR [K] [options]}"
every="${2:-300}"
shift $(($# < 2 ? $# : 2))
status=0
build/default/vantrose --headless --data build/default/data --dump "$dir" --dump-every "$every" "$@" ||
    status=$?
# A complete show ends with status 1, one cut short by --frames with 0.
[[ $status -le 1 ]] || exit "$status"
echo "frames: $(ls "$dir" | wc -l) pictures in $dir"
