#!/usr/bin/env bash
# Teletext as a person sees it: a real (virtual) X display, the player with the mixing
# renderer "Video Mixing Renderer 7" playing a transport stream with teletext, and keys
# pressed on its window: "T" shows page 100 over the moving picture, Control+T makes it
# transparent, "S" saves it with the name and format of the settings. The control panel is
# off so that nothing covers the picture. Screenshots before,
# opaque and transparent are kept in SHOTS_DIR for a look.
# Usage: xvfb_teletext_test.sh PROGRAM_DIR TS_WRITER SHOTS_DIR
set -euo pipefail
trap 'echo "xvfb teletext test: command failed at line $LINENO: $BASH_COMMAND" >&2' ERR
program_dir="$1"
writer="$2"
shots="$3"
work=$(mktemp -d)
. "$(dirname "$0")/../lib/session.sh"
pids=()
cleanup() {
  # The player first, then the display it draws on.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; wait "${pids[i]}" 2>/dev/null || true; done
  kv_stop_session
  [ -n "${KEEP_WORK:-}" ] && echo "kept $work" >&2 || rm -rf "$work" 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  cat "$work/data/kavello/kavello.log" >&2 2>/dev/null || true
  exit 1
}

"$writer" "$work/news.ts" --no-audio --seconds 20 || fail "cannot write the stream"

kv_start_xvfb

kv_player_home
mkdir -p "$work/saved"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"Version"="2.3.0.0"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Position]\r\n"Panel"=dword:00000000\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Player]\r\n"VideoRenderer"="Video Mixing Renderer 7"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Teletext]\r\n"Directory"="%s"\r\n"SaveAs"=dword:00000001\r\n"Filename"=dword:00000002\r\n' \
  "$work/saved" > "$work/config/kavello/user.reg"
export PULSE_SERVER="unix:$work/no-sound-server"

cd "$work"
"$program_dir/kavello" /log "$work/data/kavello/kavello.log" news.ts &
player=$!
pids+=($player)
wid=""
for _ in $(seq 1 150); do
  wid=$(xdotool search --onlyvisible --pid "$player" --name '^Kavello$' 2>/dev/null | head -1 || true)
  [ -n "$wid" ] && break
  sleep 0.2
done
[ -n "$wid" ] || fail "no player window"
for _ in $(seq 1 150); do
  grep -q 'Setting video window' "$work/data/kavello/kavello.log" 2>/dev/null && break
  sleep 0.2
done
grep -q 'Setting video window' "$work/data/kavello/kavello.log" || fail "the stream was not opened"
sleep 3  # a few seconds of playback: every page has gone by
xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
eval "$(xdotool getwindowgeometry --shell "$wid")"
shot() {  # shot NAME: the window's area of the screen as a PNG
  ffmpeg -loglevel error -y -f x11grab -video_size 1280x720 -i "$DISPLAY" -frames:v 1 \
    -vf "crop=$WIDTH:$HEIGHT:$X:$Y" "$work/$1.png" || fail "screenshot $1"
}
# Share of dark pixels in the lower half of a shot, in percent.
dark_share() {
  ffmpeg -loglevel error -y -i "$work/$1.png" -vf "crop=iw:ih/2:0:ih/2,format=gray" -f rawvideo "$work/$1.gray"
  od -An -tu1 -v -w1 "$work/$1.gray" | awk '{n++; if ($1 < 40) d++} END {print int(100 * d / n)}'
}

shot before
grep -q 'End of playlist' "$work/data/kavello/kavello.log" && fail "the stream ended before the keys (too slow a start?)"
xdotool key t
sleep 2
shot opaque
xdotool key ctrl+t
sleep 2
shot transparent
xdotool key s
for _ in $(seq 1 50); do [ -s "$work/saved/P100-S3F7F.ttx" ] && break; sleep 0.2; done
[ -f "$work/saved/P100-S3F7F.ttx" ] || fail "S did not save the page as saved/P100-S3F7F.ttx"
grep -q "Kavello teletext index" "$work/saved/P100-S3F7F.ttx" || fail "the saved page is not page 100"
grep -q "Save txt: $work/saved/P100-S3F7F.ttx" "$work/data/kavello/kavello.log" || fail "no save line in the log"
sleep 0.5
shot saved
# Typing 1 0 1 shows page 101; "S" saves it too.
xdotool type --delay 150 101
sleep 2
shot page101
xdotool key s
for _ in $(seq 1 50); do [ -s "$work/saved/P101-S3F7F.ttx" ] && break; sleep 0.2; done
grep -q "News of the day" "$work/saved/P101-S3F7F.ttx" 2>/dev/null || fail "1 0 1 and S did not save page 101"
# Paused, Control+T makes the page opaque again: the still picture is composed anew with
# the page over it, and that must reach the screen too.
xdotool key space
sleep 1
xdotool key ctrl+t
sleep 2
shot paused

mkdir -p "$shots"
cp "$work/before.png" "$work/opaque.png" "$work/transparent.png" "$work/saved.png" "$work/page101.png" "$work/paused.png" "$shots/"
before=$(dark_share before)
opaque=$(dark_share opaque)
transparent=$(dark_share transparent)
paused=$(dark_share paused)
echo "dark share of the lower half: before $before%, opaque $opaque%, transparent $transparent%, paused opaque $paused%"
[ "$before" -lt 50 ] || fail "the picture is dark before T ($before%)"
[ "$opaque" -gt 90 ] || fail "the opaque page does not cover the picture ($opaque%)"
[ "$transparent" -lt 50 ] || fail "the transparent page hides the picture ($transparent%)"
[ "$paused" -gt 90 ] || fail "paused, the opaque page does not cover the picture ($paused%)"
echo "xvfb teletext: ok (shots in $shots)"
