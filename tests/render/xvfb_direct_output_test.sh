#!/usr/bin/env bash
# The picture of the real program on a real (virtual) X display, with and without MIT-SHM.
# With it, frames go to a native shared-memory window that covers the video at the window's
# size; the OSD must still show over the picture (the window steps aside while it does),
# also while paused, and the paused picture must stay on screen through both switches.
# Without MIT-SHM (Xvfb -extension MIT-SHM) there is no such window and the picture comes
# through Qt. Usage: xvfb_direct_output_test.sh PROGRAM_DIR
set -euo pipefail
trap 'echo "direct output test: command failed at line $LINENO: $BASH_COMMAND" >&2' ERR
program_dir="$1"
work=$(mktemp -d)
# shellcheck source=../lib/session.sh
. "$(dirname "$0")/../lib/session.sh"
player_pid=""
stop_player() {
  if [ -n "$player_pid" ]; then kill "$player_pid" 2>/dev/null || true; wait "$player_pid" 2>/dev/null || true; fi
  player_pid=""
}
cleanup() {
  stop_player
  kv_stop_session
  rm -rf "$work" 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "FAIL ($mode): $*" >&2
  exit 1
}
mode=setup
extra=()

ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=640x360:rate=25" -t 30 -c:v libx264 -pix_fmt yuv420p \
  "$work/clip.mkv" || fail "cannot make the clip"

# grab NAME: the main window's picture as raw RGB (what the screen shows there).
grab() {
  ffmpeg -loglevel error -y -f x11grab -draw_mouse 0 -video_size "${WIDTH}x${HEIGHT}" -i "$DISPLAY+$X,$Y" \
    -frames:v 1 -f rawvideo -pix_fmt rgb24 "$work/$1.rgb"
}
# pixel NAME X Y: "R G B" of the grab
pixel() { od -An -tu1 -j $((($3 * WIDTH + $2) * 3)) -N 3 "$work/$1.rgb" | awk '{print $1, $2, $3}'; }
# colour_bars NAME: the test picture's top row of colour bars is on screen (no point black)
colour_bars() {
  for x in 20 100 180 260 380 460 540 620; do
    read -r r g b < <(pixel "$1" "$x" 60)
    ((r + g + b > 150)) || return 1
  done
}
# native_children: mapped child windows of the main window at the video's size
native_children() {
  xwininfo -children -id "$win" | awk '/^ +0x/ && /640x360\+0\+0/ {print $1}' | while read -r id; do
    xwininfo -id "$id" | grep -q IsViewable && echo "$id"
  done | wc -l
}

play() {  # play XVFB_ARGS... : starts Xvfb and the player, finds the window
  kv_start_xvfb 1280x720x24 "$@"
  kv_player_home
  PULSE_SERVER="unix:$work/no-sound-server" "$program_dir/kavello" "${extra[@]}" "$work/clip.mkv" \
    >"$work/player.log" 2>&1 &
  player_pid=$!
  win=""
  for _ in $(seq 1 300); do
    win=$(xdotool search --onlyvisible --name '^Kavello$' 2>/dev/null | head -1) && [ -n "$win" ] && break
    sleep 0.1
  done
  [ -n "$win" ] || fail "no main window"
  for _ in $(seq 1 300); do
    eval "$(xdotool getwindowgeometry --shell "$win")"
    [ "$WIDTH" = 640 ] && [ "$HEIGHT" = 360 ] && break
    sleep 0.1
  done
  [ "$WIDTH" = 640 ] && [ "$HEIGHT" = 360 ] || fail "the window is ${WIDTH}x$HEIGHT, not the clip's 640x360"
  [ "$mode" != "MIT-SHM" ] && return 0
  for _ in $(seq 1 100); do grab first && colour_bars first && break; sleep 0.1; done
  colour_bars first || fail "the picture does not fill the window"
  xdotool windowfocus "$win" 2>/dev/null || true
}

# wait_children N: waits until the count of native video windows is N
wait_children() {
  for _ in $(seq 1 100); do [ "$(native_children)" = "$1" ] && return 0; sleep 0.1; done
  return 1
}

mode="MIT-SHM"
play
wait_children 1 || fail "no native window shows the video"
# Pausing shows "Pause" on the OSD: the native window steps aside and Qt draws the OSD
# over the paused picture.
xdotool key space
wait_children 0 || fail "the native window stays over the OSD"
sleep 0.3
grab osd
colour_bars osd || fail "the paused picture went when the OSD came"
# The OSD goes after a while: the native window comes back with the paused picture in it.
wait_children 1 || fail "the native window does not come back after the OSD"
sleep 0.3
grab back
colour_bars back || fail "the paused picture is not in the native window"
changed=$(cmp -l "$work/osd.rgb" "$work/back.rgb" | wc -l || true)
((changed > 300)) || fail "no OSD over the picture ($changed bytes differ)"
xdotool key space
stop_player
kv_stop_session

# Without MIT-SHM the screen is read with the program's own screenshot (ffmpeg's grabber
# needs the extension).
mode="no MIT-SHM"
extra=(--screenshot-at 1 "$work/shot.png")
play -extension MIT-SHM
for _ in $(seq 1 300); do [ -s "$work/shot.png" ] && break; sleep 0.1; done
sleep 0.5
[ "$(native_children)" = 0 ] || fail "a native window without MIT-SHM"
ffmpeg -loglevel error -y -i "$work/shot.png" -f rawvideo -pix_fmt rgb24 "$work/shot.rgb"
colour_bars shot || fail "the picture does not fill the window"
echo "direct output: ok"
