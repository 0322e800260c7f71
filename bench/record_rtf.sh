#!/usr/bin/env bash
# Recording real-time factor: the whole show recorded with --record (lossless .mkv by default)
# at 60 Hz, show time over wall time until the file is complete.
#
#   bench/record_rtf.sh [--build DIR] [--refresh HZ] [--out FILE] [--keep]
#
# DIR defaults to build/release (cmake --preset release && cmake --build --preset release
# --target vantrose). The recording goes to a temporary folder and is removed unless --keep.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/release
refresh=60
out=""
keep=0
while [[ $# -gt 0 ]]; do
    case "$1" in
    --build) build="$2"; shift 2 ;;
    --refresh) refresh="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "record_rtf: unknown option '$1'" >&2; exit 2 ;;
    esac
done

bin="$build/vantrose"
data="$build/data"
if [[ ! -x "$bin" || ! -f "$data/vantrose.dat" ]]; then
    echo "record_rtf: no program in $build; build it first:" >&2
    echo "  cmake --preset release && cmake --build --preset release --target vantrose vantrose_data" >&2
    exit 2
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/vantrose-record-rtf-XXXXXX")"
trap 'rm -rf "$work"' EXIT
[[ -n "$out" ]] || out="$work/show.mkv"

load_before=$(cut -d' ' -f1 /proc/loadavg)
start=$(date +%s.%N)
status=0
# CPU time of the program and of ffmpeg, which it waits for.
TIMEFORMAT='%U %S'
{ time "$bin" --data "$data" --record "$out" --refresh "$refresh" --stats 2>"$work/log" \
    || status=$?; } 2>"$work/cpu"
end=$(date +%s.%N)
load_after=$(cut -d' ' -f1 /proc/loadavg)
# A complete show ends with status 1, a quit with 0; anything else is a failure.
if [[ $status -ne 0 && $status -ne 1 ]]; then
    cat "$work/log" >&2
    echo "record_rtf: the recording failed (status $status)" >&2
    exit 1
fi

frames=$(awk '/^frames /{print $2}' "$work/log")
bytes=$(stat -c %s "$out")
read -r user system <"$work/cpu"
awk -v f="$frames" -v r="$refresh" -v s="$start" -v e="$end" -v b="$bytes" \
    -v cores="$(nproc)" -v u="$user" -v k="$system" -v l0="$load_before" -v l1="$load_after" 'BEGIN {
    show = f / r; wall = e - s; cpu = u + k
    printf "frames %d at %d Hz: %.1f s of show\n", f, r, show
    printf "wall time %.1f s (until ffmpeg has finished the file), %d cores, load %s then %s\n",
        wall, cores, l0, l1
    printf "cpu time %.1f s (program and ffmpeg): at most %.2f x real time on %d idle cores\n",
        cpu, show * cores / cpu, cores
    printf "file size %.1f MB (%.2f MB per second of show)\n", b / 1e6, b / 1e6 / show
    printf "recording real-time factor %.2f\n", show / wall
}'
if [[ $keep -eq 1 && "$out" == "$work/show.mkv" ]]; then
    mv "$out" ./vantrose-show.mkv
    echo "kept: $PWD/vantrose-show.mkv"
fi
