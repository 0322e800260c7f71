#!/usr/bin/env bash
# The Windows program under Wine beside the Linux one: wine_test.sh CASE WINDOWS_DIR LINUX_BIN
# LINUX_DATA WORK. Exits 77 (skipped) where Wine or the Windows build is absent.
set -uo pipefail
case_name=$1 windir=$2 linux=$3 linux_data=$4 work=$5
wine=/usr/lib/wine/wine64
[[ -x $wine && -f $windir/vantrose.exe ]] || { echo "no Wine or no Windows build: skipped"; exit 77; }
mkdir -p "$work"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" SDL_AUDIODRIVER=dummy
# The prefix is made on the first run (seconds); tests running beside each other wait for it.
(flock 9 && [[ -d $WINEPREFIX/drive_c ]] || DISPLAY= "$wine" wineboot -i >/dev/null 2>&1) 9>"$work/prefix.lock"
fail() { echo "FAIL: $*"; exit 1; }
run() { # status, stdout and stderr of the Windows program in $status, $out/$err files
    "$wine" "$windir/vantrose.exe" "$@" >"$work/$case_name.out" 2>"$work/$case_name.err"
    status=$?
}
err() { tr -d '\r' <"$work/$case_name.err"; }

case $case_name in
checksums) # the whole show, headless: every scene's frames as on Linux
    run --headless --trace --data "$windir"
    [[ $status -eq 1 ]] || fail "status $status after the complete show"
    err | grep '^checksum scene' >"$work/windows.sums"
    "$linux" --headless --trace --data "$linux_data" 2>&1 >/dev/null | grep '^checksum scene' >"$work/linux.sums"
    [[ $(wc -l <"$work/windows.sums") -eq 42 ]] || fail "$(wc -l <"$work/windows.sums") scenes, not 42"
    diff "$work/linux.sums" "$work/windows.sums" || fail "checksums differ from Linux"
    ;;
missing) # a folder without the archive: the Linux message and status
    mkdir -p "$work/empty"
    run --headless --data "$work/empty"
    [[ $status -eq 1 ]] || fail "status $status for a missing archive"
    "$linux" --headless --data "$work/empty" 2>"$work/linux.err"
    # The same words around the path, which Windows writes its own way.
    paths='s/at .*vantrose\.\(dat\|s3m\);/at PATH;/'
    diff <(sed "$paths" "$work/linux.err") <(err | sed "$paths") || fail "message differs"
    ;;
bad-option)
    run --no-such-option
    [[ $status -eq 2 ]] || fail "status $status for a bad option"
    err | grep -q '^usage: vantrose \[options\]' || fail "no usage: $(err)"
    ;;
interrupt) # Ctrl+C (SIGINT, which Wine hands the console) ends the show like a quit
    "$wine" "$windir/vantrose.exe" --headless --trace --data "$windir" 2>"$work/$case_name.err" &
    pid=$!
    for _ in $(seq 100); do grep -q '^scene 1 ' "$work/$case_name.err" && break; sleep 0.2; done
    kill -INT $pid
    wait $pid
    status=$?
    [[ $status -eq 0 ]] || fail "status $status after Ctrl+C"
    err | grep -q '^checksum scene 1 ' || fail "the show did not end in order: $(err)"
    ;;
window) # 120 frames in a window at the show's own 60 Hz, then Escape ends a second run
    [[ -n ${DISPLAY:-} ]] || { echo "no display: skipped"; exit 77; }
    # Wine's direct3d draws through OpenGL, in software on Xvfb: too slow here to show the
    # pacing (70 ms a frame on a busy machine), so SDL draws in software itself.
    export SDL_RENDER_DRIVER=software
    run --mode 400 --window --frames 120 --stats --data "$windir"
    [[ $status -eq 0 ]] || fail "status $status after --frames 120: $(err)"
    err | grep -qx 'frames 120' || fail "not 120 frames: $(err)"
    mean=$(err | sed -n 's/^presented interval mean \([0-9.]*\) ms.*/\1/p')
    awk -v m="$mean" 'BEGIN { exit !(m > 16.0 && m < 17.4) }' || fail "paced at ${mean:-?} ms, not 60 Hz"
    "$wine" "$windir/vantrose.exe" --mode 400 --window --data "$windir" 2>"$work/escape.err" &
    pid=$!
    for _ in $(seq 100); do
        window=$(xdotool search --name 'Vantrose' 2>/dev/null | head -1)
        [[ -n $window ]] && break
        sleep 0.2
    done
    [[ -n $window ]] || { kill $pid; fail "no window"; }
    sleep 1
    xdotool windowfocus --sync "$window" key Escape
    for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.2; done
    kill -0 $pid 2>/dev/null && { kill $pid; fail "Escape did not end the show"; }
    wait $pid
    status=$?
    [[ $status -eq 0 ]] || fail "status $status after Escape: $(tr -d '\r' <"$work/escape.err")"
    ;;
record) # ffmpeg.exe through the pipes: a stand-in counts every byte of 30 frames and their sound
    run --headless --record "$work/no.mkv" --frames 30 --data "$windir"
    [[ $status -eq 2 && $(err | wc -l) -eq 1 ]] || fail "without ffmpeg.exe: status $status, $(err)"
    stub="Z:$(realpath "$windir/../mingw/ffmpeg-stub" | tr / '\\')"
    WINEPATH=$stub run --headless --record "$work/show.mkv" --frames 30 --data "$windir"
    [[ $status -eq 0 ]] || fail "status $status: $(err)"
    [[ $(tr -d '\r' <"$work/show.mkv") == "video $((30 * 640 * 4 * 400)) sound $((30 * 735 * 4))" ]] ||
        fail "ffmpeg was sent $(cat "$work/show.mkv")"
    ;;
*) fail "no case $case_name" ;;
esac
echo "ok: $case_name"
