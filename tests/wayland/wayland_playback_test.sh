#!/usr/bin/env bash
# The player in a Wayland session: Debian's weston in headless mode with a private runtime
# folder and no X server at all, Qt's wayland platform, `kavello --quit-at-end --screenshot-at`.
# The clip must play to its end (exit 0), the screenshot (taken from the program's own window
# contents) must show the picture, and the log must say that the X11-only parts were skipped.
# Usage: wayland_playback_test.sh PROGRAM_DIR
set -euo pipefail
trap 'echo "wayland test: command failed at line $LINENO: $BASH_COMMAND" >&2' ERR
program_dir="$1"
command -v weston >/dev/null || { echo "FAIL: weston is not installed (scripts/install-deps.sh installs it)" >&2; exit 1; }
work=$(mktemp -d)
# shellcheck source=../lib/session.sh
. "$(dirname "$0")/../lib/session.sh"
cleanup() {
  kv_stop_session
  rm -rf "$work" 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  cat "$work/data/kavello/kavello.log" >&2 2>/dev/null || true
  tail -20 "$work/weston.log" >&2 2>/dev/null || true
  exit 1
}

ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=640x360:rate=25" \
  -f lavfi -i "sine=frequency=1000:sample_rate=48000" -t 4 \
  -c:v libx264 -pix_fmt yuv420p -c:a libvorbis "$work/clip.mkv" || fail "cannot make the clip"

kv_player_home
unset DISPLAY PULSE_SERVER || true

weston --backend=headless-backend.so --socket=wayland-kv --width=1280 --height=720 \
  --use-pixman --idle-time=0 --log="$work/weston.log" &
kv_session_pids+=($!)
for _ in $(seq 1 100); do [ -S "$work/runtime/wayland-kv" ] && break; sleep 0.1; done
[ -S "$work/runtime/wayland-kv" ] || fail "weston did not start"

export WAYLAND_DISPLAY=wayland-kv QT_QPA_PLATFORM=wayland

cd "$work"
code=0
# Under AddressSanitizer: the full unwinder, so that leaks inside Qt's Wayland plug-in carry
# its frames and match their suppression (libwayland-client has no frame pointers).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0"
timeout 90 "$program_dir/kavello" /log --quit-at-end --screenshot-at 2 shot.png clip.mkv || code=$?
[ "$code" = 0 ] || fail "exit code $code"
log="$work/data/kavello/kavello.log"
grep -q 'End of playlist' "$log" || fail "did not play to the end"
grep -q 'No X display' "$log" || fail "the X11 screen saver skip is not logged"
grep -q 'Wayland session: window position not applicable' "$log" || fail "placement on Wayland is not logged"

[ -f shot.png ] || fail "no screenshot"
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 shot.png)
[ "$size" = "640,360" ] || fail "screenshot is $size, not the 640x360 window"
ffmpeg -loglevel error -y -i shot.png -vf "crop=640:1:0:60" -f rawvideo -pix_fmt rgb24 "$work/row.rgb"
for x in 20 100 180 260 380 460 540 620; do
  rgb=$(od -An -tu1 -j $((x * 3)) -N 3 "$work/row.rgb" | awk '{print $1+$2+$3}')
  [ "$rgb" -gt 150 ] || fail "screenshot is dark at x=$x (sum $rgb): no picture"
done
echo "wayland playback: ok"
