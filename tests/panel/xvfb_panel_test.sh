#!/usr/bin/env bash
# The control panel as a person meets it: a real (virtual) X display and a sound server with
# a null sink. F8 on the player shows the panel beside the window; while a clip plays, the
# panel's picture changes from one second to the next (position and bitrates); the panel is
# moved, the player ends (as at a log-out) and starts again, and the panel comes back where
# it was put. A screenshot of the panel is kept (PANEL_SCREENSHOT, default
# <program dir>/tests/panel/panel.png).
# Usage: xvfb_panel_test.sh PROGRAM_DIR
set -euo pipefail
trap 'echo "xvfb panel test: command failed at line $LINENO: $BASH_COMMAND" >&2' ERR
program_dir="$1"
shot_out="${PANEL_SCREENSHOT:-$program_dir/tests/panel/panel.png}"
work=$(mktemp -d)
. "$(dirname "$0")/../lib/session.sh"
pids=()
player=""
cleanup() {
  [ -n "$player" ] && kill "$player" 2>/dev/null || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  kv_stop_session
  rm -rf "$work" 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  tail -40 "$work/kavello.log" >&2 2>/dev/null || true
  exit 1
}
# Waits (up to 30 s) for a window with exactly this name; prints its id.
wait_window() {
  local id=""
  for _ in $(seq 1 300); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
# x y width height of a window.
geometry() {
  xdotool getwindowgeometry --shell "$1" | awk -F= '/^(X|Y|WIDTH|HEIGHT)=/{printf "%s ", $2}'
}
grab() {  # grab X Y W H FILE
  ffmpeg -loglevel error -y -f x11grab -video_size "$3x$4" -i "$DISPLAY+$1,$2" -frames:v 1 "$5"
}

ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=480x270:rate=25" \
  -f lavfi -i "sine=frequency=1000:sample_rate=48000" -t 30 -g 25 \
  -c:v libx264 -pix_fmt yuv420p -c:a libvorbis "$work/clip.mkv" || fail "cannot make the clip"

kv_start_pulse

kv_start_xvfb

kv_player_home
# The panel starts off: F8 brings it.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"Version"="2.3.0.0"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Position]\r\n"Panel"=dword:00000000\r\n' \
  > "$work/config/kavello/user.reg"
cd "$work"

"$program_dir/kavello" /log "$work/kavello.log" clip.mkv &
player=$!
main=$(wait_window Kavello) || fail "no player window"
sleep 1
if xdotool search --onlyvisible --name '^Control panel$' >/dev/null 2>&1; then fail "the panel is shown although it was off"; fi
xdotool windowfocus --sync "$main" 2>/dev/null || xdotool windowfocus "$main"
xdotool key --clearmodifiers F8
panel=$(wait_window 'Control panel') || fail "F8 did not show the panel"
sleep 1
read -r mx my mw mh <<<"$(geometry "$main")"
read -r px py pw ph <<<"$(geometry "$panel")"
echo "player window $mx,$my ${mw}x$mh; panel $px,$py ${pw}x$ph"
# Beside: no overlap, and touching (within 40 pixels) one of the window's sides.
overlap_x=$(( px < mx + mw && mx < px + pw ))
overlap_y=$(( py < my + mh && my < py + ph ))
[ $((overlap_x && overlap_y)) = 0 ] || fail "the panel covers the window"
gap=$(( px >= mx + mw ? px - mx - mw : (py >= my + mh ? py - my - mh : (my >= py + ph ? my - py - ph : mx - px - pw)) ))
[ "$gap" -le 40 ] || fail "the panel is $gap pixels away from the window"

# Position and bitrates move: two pictures of the panel a second and a half apart differ.
grab "$px" "$py" "$pw" "$ph" "$work/p1.png"
sleep 1.5
grab "$px" "$py" "$pw" "$ph" "$work/p2.png"
[ "$(md5sum < "$work/p1.png")" != "$(md5sum < "$work/p2.png")" ] || fail "the panel did not change while the clip played"
mkdir -p "$(dirname "$shot_out")"
cp "$work/p2.png" "$shot_out"

# The panel's buttons drive the player: its Pause button (the third of the fixed 28-pixel
# buttons, centre 80,68) pauses, and the panel stands still; a second click resumes.
click_pause() {
  xdotool mousemove "$((px + 80))" "$((py + 68))" click 1
  xdotool mousemove 0 0
  sleep 0.5
}
click_pause
grab "$px" "$py" "$pw" "$ph" "$work/p3.png"
sleep 1.5
grab "$px" "$py" "$pw" "$ph" "$work/p4.png"
[ "$(md5sum < "$work/p3.png")" = "$(md5sum < "$work/p4.png")" ] || fail "the panel kept changing after its Pause button"
click_pause
sleep 1.5
grab "$px" "$py" "$pw" "$ph" "$work/p5.png"
[ "$(md5sum < "$work/p4.png")" != "$(md5sum < "$work/p5.png")" ] || fail "the panel's Pause button did not resume"

# Move the panel, end the player like a log-out does, start again: the panel is back there.
xdotool windowmove "$panel" 60 40
sleep 1
read -r qx qy _ _ <<<"$(geometry "$panel")"
kill -TERM "$player"
code=0
wait "$player" || code=$?
player=""
[ "$code" = 0 ] || fail "the player ended with $code"
"$program_dir/kavello" /log "$work/kavello.log" clip.mkv &
player=$!
panel=$(wait_window 'Control panel') || fail "the panel did not come back at the next start"
sleep 1
read -r rx ry _ _ <<<"$(geometry "$panel")"
[ "$rx,$ry" = "$qx,$qy" ] || fail "the panel came back at $rx,$ry, not at $qx,$qy"
kill -TERM "$player"
wait "$player" || true
player=""
echo "xvfb panel: ok (panel beside the window, changing while playing, back at $rx,$ry)"
