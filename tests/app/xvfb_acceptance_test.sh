#!/usr/bin/env bash
# The player as a new user meets it, on a real (virtual) X display with a window manager-less
# screen, driven by real key and mouse events (xdotool):
#  1. `kavello /log /ABS/trace.txt clip.mkv`: the clip plays and the log goes to that file;
#  2. the framerate dialog takes typed digits and "-" (the key table leaves it alone);
#  3. "Options" from the popup menu opens the dialog, and switching the OSD off there takes
#     effect at once;
#  4. a SIGKILL leaves the X screen saver settings as they were.
# Usage: xvfb_acceptance_test.sh PROGRAM_DIR
set -euo pipefail
trap 'echo "xvfb acceptance: command failed at line $LINENO: $BASH_COMMAND" >&2' ERR
program_dir="$1"
work=$(mktemp -d)
. "$(dirname "$0")/../lib/session.sh"
pids=()
player=""
cleanup() {
  [ -n "$player" ] && kill -9 "$player" 2>/dev/null || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  kv_stop_session
  if [ -n "${KEEP_SHOTS:-}" ]; then cp "$work"/*.png "$KEEP_SHOTS"/ 2>/dev/null || true; fi
  rm -rf "$work" 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for f in "$work/trace.txt" "$work/data/kavello/kavello.log"; do [ -f "$f" ] && { echo "--- $f" >&2; cat "$f" >&2; }; done
  exit 1
}
shot() { ffmpeg -loglevel error -y -f x11grab -video_size 1280x720 -i "$DISPLAY" -frames:v 1 "$work/$1.png" || true; }
log_has() { grep -q "$1" "$work/trace.txt" 2>/dev/null; }
wait_log() { kv_wait_text "$work/trace.txt" "$1" "$2"; }  # wait_log TEXT SECONDS

# A 12 s clip with a subtitle file beside it; no sound server: picture only.
ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=640x360:rate=25" -t 12 \
  -c:v libx264 -pix_fmt yuv420p "$work/clip.mkv" || fail "cannot make the clip"
printf '1\n00:00:01,000 --> 00:00:09,000\nHello\n' > "$work/clip.srt"

kv_start_xvfb

kv_player_home
export PULSE_SERVER="unix:$work/no-sound-server"
xset s 600 600

cd "$work"
"$program_dir/kavello" /log "$work/trace.txt" clip.mkv &
player=$!
wait_log "Setting video window" 30 || fail "the clip was not opened (or the log is not at $work/trace.txt)"
[ ! -e "$work/data/kavello/kavello.log" ] || fail "the log went to the default file"
# The screen saver is held off once the first picture is up, a moment after the window is set.
wait_log "Screen saver suspended by the display server" 10 || fail "the screen saver is not held off by the server"
grep -q "Cannot play file" "$work/trace.txt" && fail "the log path was taken for the film"
win=""
for _ in $(seq 1 50); do win=$(xdotool search --onlyvisible --name '^Kavello$' 2>/dev/null | head -1) && [ -n "$win" ] && break; sleep 0.1; done
[ -n "$win" ] || fail "no main window"
eval "$(xdotool getwindowgeometry --shell "$win")"
cx=$((X + WIDTH / 2)); cy=$((Y + HEIGHT / 2))
xdotool mousemove "$cx" "$cy" click 1 >/dev/null 2>&1 || true
sleep 0.5

# Popup menu: the Subtitles submenu and its entries, with the keyboard as a user would.
menu() {  # menu KEY... : opens the popup menu at the window's centre, then presses the keys
  xdotool mousemove "$cx" "$cy" click 3
  sleep 0.6
  for k in "$@"; do xdotool key "$k"; sleep 0.25; done
}
# From the top: Always on top, Control panel, (Teletext disabled), Aspect ratio, Image mode,
# Playback, Titles, Audio, Subtitles.
menu Down Down Down Down Down Down Down Down Right Down Down Return   # Subtitles > clip.srt
sleep 0.5
shot subtitles-chosen
menu Down Down Down Down Down Down Down Down Right Down Return        # Subtitles > Change framerate
dialog=""
for _ in $(seq 1 50); do dialog=$(xdotool search --onlyvisible --name '^Select framerate$' 2>/dev/null | head -1) && [ -n "$dialog" ] && break; sleep 0.1; done
[ -n "$dialog" ] || { shot no-framerate-dialog; fail "the framerate dialog did not open"; }
xdotool key --window "$dialog" ctrl+a
xdotool type --delay 60 "23.976"
xdotool key Tab
xdotool key ctrl+a
xdotool key minus 2
sleep 0.3
shot framerate-typed
xdotool key Tab Tab Tab space   # tenths, Cancel, OK (a flat button takes space)
wait_log "Subtitle framerate 23.976, offset -2000 ms" 5 || { shot framerate-after; fail "the typed framerate and offset did not arrive"; }

# Options from the menu, from the bottom: Exit, About (enabled only when its library is
# there), Close current file(s), Open file to analyze, Open directory, Open files, Options.
ups=(Up Up Up Up Up Up)
[ -e "$program_dir/Components/About.so" ] && ups+=(Up)
menu "${ups[@]}" Return
options=""
for _ in $(seq 1 100); do options=$(xdotool search --onlyvisible --name '^Options$' 2>/dev/null | head -1) && [ -n "$options" ] && break; sleep 0.1; done
[ -n "$options" ] || { shot no-options; fail "\"Options\" did not open the dialog"; }
sleep 0.5
shot options-open
# The "Display and OSD" tab, then its first field, the OSD switch (places inside the dialog).
eval "$(xdotool getwindowgeometry --shell "$options" | sed 's/^/D/')"
xdotool mousemove $((DX + 217)) $((DY + 24)) click 1
sleep 0.4
xdotool mousemove $((DX + 29)) $((DY + 56)) click 1
sleep 0.4
shot options-osd-off
xdotool key Return
wait_log "Options applied, OSD off" 10 || { shot options-after; fail "switching the OSD off did not take effect"; }
sleep 0.3
shot after-options

# A SIGKILL: the screen saver settings are the server's again at once.
kill -9 "$player"; wait "$player" 2>/dev/null || true; player=""
sleep 0.3
xset q | grep -q "timeout:  600" || { xset q >&2; fail "the screen saver time-out stayed off after SIGKILL"; }
echo "xvfb acceptance: ok"
