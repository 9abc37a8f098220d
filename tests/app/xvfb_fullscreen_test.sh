#!/usr/bin/env bash
# Full screen as a person uses it: a 4:3 clip plays in a window on a 16:9 virtual screen, "F"
# enters full screen (the picture centred, black bars left and right), "F" leaves it, and the
# window is back at exactly its earlier place and size.
# Usage: xvfb_fullscreen_test.sh PROGRAM_DIR
set -euo pipefail
trap 'echo "xvfb test: command failed at line $LINENO: $BASH_COMMAND" >&2' ERR
program_dir="$1"
work=$(mktemp -d)
. "$(dirname "$0")/../lib/session.sh"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  kv_stop_session
  rm -rf "$work" 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  cat "$work/data/kavello/kavello.log" >&2 2>/dev/null || true
  exit 1
}

# A bright 4:3 picture, so the bars beside it in full screen are easy to tell apart.
ffmpeg -loglevel error -y -f lavfi -i "color=c=white:size=320x240:rate=25" -t 30 -c:v mpeg4 -q:v 3 \
  "$work/clip.avi" || fail "cannot make the clip"

kv_start_xvfb

kv_player_home
export PULSE_SERVER=unix:/nonexistent

"$program_dir/kavello" /log "$work/clip.avi" >"$work/player.out" 2>&1 &
pids+=($!)
main=$(timeout 30 xdotool search --sync --onlyvisible --name '^Kavello$' | head -1) || fail "no main window"
sleep 1
eval "$(xdotool getwindowgeometry --shell "$main")"
before="$X,$Y,$WIDTH,$HEIGHT"
[ "$WIDTH,$HEIGHT" = "320,240" ] || fail "the window is ${WIDTH}x${HEIGHT}, not the picture's 320x240"

# Probes of one screen row through the middle: x -> sum of r+g+b.
row_sum() {  # $1 = x
  ffmpeg -loglevel error -y -f x11grab -video_size 1280x720 -i "$DISPLAY" -frames:v 1 "$work/screen.png"
  ffmpeg -loglevel error -y -i "$work/screen.png" -vf "crop=1280:1:0:360" -f rawvideo -pix_fmt rgb24 "$work/row.rgb"
  od -An -tu1 -j $(($1 * 3)) -N 3 "$work/row.rgb" | awk '{print $1+$2+$3}'
}

xdotool windowfocus "$main" 2>/dev/null || true
sleep 0.3
xdotool key f
sleep 1.5
eval "$(xdotool getwindowgeometry --shell "$main")"
[ "$WIDTH,$HEIGHT" = "1280,720" ] || fail "full screen window is ${WIDTH}x${HEIGHT}"
# 4:3 in 1280x720: the picture is 960 wide, centred, with 160-pixel bars.
left=$(row_sum 40); centre=$(row_sum 640); right=$(row_sum 1240); inner=$(row_sum 200)
[ "$left" -lt 60 ] && [ "$right" -lt 60 ] || fail "no black bars beside the picture ($left, $right)"
[ "$centre" -gt 600 ] && [ "$inner" -gt 600 ] || fail "the picture is not centred ($inner, $centre)"

xdotool key f
sleep 1.5
eval "$(xdotool getwindowgeometry --shell "$main")"
after="$X,$Y,$WIDTH,$HEIGHT"
[ "$before" = "$after" ] || fail "placement before full screen $before, after leaving it $after"
echo "xvfb full screen: ok"
