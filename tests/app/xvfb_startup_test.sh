#!/usr/bin/env bash
# The first start as a person sees it, on a real (virtual) X display with an empty config:
# the options dialog comes first, OK writes "Version", the main window appears centred at
# 320 x 180, "Exit" from the popup menu ends the process with code 0, the placement is saved
# and the X screen saver settings are back to what they were.
# Usage: xvfb_startup_test.sh PROGRAM_DIR
set -euo pipefail
trap 'echo "xvfb test: command failed at line $LINENO: $BASH_COMMAND" >&2' ERR
program_dir="$1"
work=$(mktemp -d)
. "$(dirname "$0")/../lib/session.sh"
player_pid=""
cleanup() {
  [ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null || true
  kv_stop_session
  rm -rf "$work" 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  cat "$work/data/kavello/kavello.log" "$work/player.out" >&2 2>/dev/null || true
  exit 1
}

kv_start_xvfb

# A screen saver setting of our own, to see it restored exactly.
xset s 600 30
before=$(xset q | grep -A2 'Screen Saver' | grep timeout)

kv_player_home first-run

"$program_dir/kavello" /log >"$work/player.out" 2>&1 &
player_pid=$!

dialog=$(timeout 30 xdotool search --sync --onlyvisible --name '^Options$' | head -1) || fail "no options dialog"
# While the dialog is up, the main window must not be shown yet.
if xdotool search --onlyvisible --name '^Kavello$' >/dev/null 2>&1; then fail "main window shown before the options dialog"; fi
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
[ -n "${KAVELLO_TEST_SHOTS:-}" ] && import -window root "$KAVELLO_TEST_SHOTS/dialog.png"
xdotool key Return

main=$(timeout 30 xdotool search --sync --onlyvisible --name '^Kavello$' | head -1) || fail "no main window"
grep -q '"Version"="2.3.0.0"' "$work/config/kavello/user.reg" || fail "Version not written on OK"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$main")"
[ "$WIDTH" = 320 ] && [ "$HEIGHT" = 180 ] || fail "window is ${WIDTH}x${HEIGHT}, expected 320x180"
[ "$X" = $(( (1280 - 320) / 2 )) ] && [ "$Y" = $(( (720 - 180) / 2 )) ] || fail "window at $X,$Y is not centred"
# The display server holds the screen saver off for the player's connection (so that no
# crash can leave it off); where it cannot, the settings are switched off until exit.
kv_wait_text "$work/data/kavello/kavello.log" 'Screensaver state' 10 || fail "no Screensaver state line"
during=$(xset q | grep -A2 'Screen Saver' | grep timeout)
if grep -q 'Screen saver suspended by the display server' "$work/data/kavello/kavello.log"; then
  [ "$during" = "$before" ] || fail "settings changed although the server holds the suspension: $during"
else
  echo "$during" | grep -q 'timeout:  0' || fail "screen saver still on while playing: $during"
fi

# "Exit" is the last item of the popup menu: open it with the context-menu key on the
# picture, go up once (wrapping to the last item) and press Return.
xdotool windowfocus "$main" 2>/dev/null || true
sleep 0.3
xdotool key Menu
sleep 0.5
xdotool key Up
[ -n "${KAVELLO_TEST_SHOTS:-}" ] && import -window root "$KAVELLO_TEST_SHOTS/menu.png"
sleep 0.2
xdotool key Return

code=0
for _ in $(seq 1 100); do
  kill -0 "$player_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$player_pid" 2>/dev/null && fail "the player did not end after Exit"
wait "$player_pid" || code=$?
player_pid=""
[ "$code" = 0 ] || fail "exit code $code"

reg="$work/config/kavello/user.reg"
grep -q 'Software\\Tessaland\\Kavello\\Position\]' "$reg" || fail "no Position section saved"
grep -qi '"Width"=dword:00000140' "$reg" || fail "Width not saved"
grep -qi '"Height"=dword:000000b4' "$reg" || fail "Height not saved"
after=$(xset q | grep -A2 'Screen Saver' | grep timeout)
[ "$before" = "$after" ] || fail "screen saver not restored: before '$before' after '$after'"
grep -q 'Screensaver state: true' "$work/data/kavello/kavello.log" || fail "no Screensaver state line"
grep -qi '"AlwaysOnTop"=dword:00000000' "$reg" || fail "AlwaysOnTop changed by the start"
echo "xvfb startup: ok"
