#!/usr/bin/env bash
# The player on a private session bus, driven by playerctl as a desktop's media keys do:
# status, play-pause, position (read and set) and next.
# Usage: mpris_playerctl_test.sh PROGRAM_DIR
set -euo pipefail
trap 'echo "mpris test: command failed at line $LINENO: $BASH_COMMAND" >&2' ERR
program_dir="$1"
work=$(mktemp -d)
player_pid=""
bus_pid=""
cleanup() {
  [ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null || true
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
  rm -rf "$work" 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  cat "$work/data/kavello/kavello.log" >&2 2>/dev/null || true
  exit 1
}

ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=320x240:rate=25" -t 20 -c:v mpeg4 -q:v 5 "$work/clip.avi" \
  || fail "cannot make the clip"

eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | {
  read -r address; read -r pid; echo "export DBUS_SESSION_BUS_ADDRESS='$address'; bus_pid=$pid"; })"
[ -n "$bus_pid" ] || fail "no session bus"

mkdir -p "$work/config/kavello" "$work/data" "$work/runtime"
chmod 700 "$work/runtime"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"Version"="2.3.0.0"\r\n' \
  > "$work/config/kavello/user.reg"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" HOME="$work"
export QT_QPA_PLATFORM=offscreen PULSE_SERVER=unix:/nonexistent

"$program_dir/kavello" /log "$work/clip.avi" >"$work/player.out" 2>&1 &
player_pid=$!

status=""
for _ in $(seq 1 100); do
  status=$(playerctl -p kavello status 2>/dev/null || true)
  [ "$status" = "Playing" ] && break
  sleep 0.1
done
[ "$status" = "Playing" ] || fail "status is '$status', expected Playing"

playerctl -p kavello play-pause
sleep 0.3
[ "$(playerctl -p kavello status)" = "Paused" ] || fail "play-pause did not pause"
playerctl -p kavello position 5
sleep 0.3
pos=$(playerctl -p kavello position)
awk -v p="$pos" 'BEGIN { exit !(p >= 4.0 && p <= 5.5) }' || fail "position after a seek to 5 s is $pos"
playerctl -p kavello play-pause
sleep 0.3
[ "$(playerctl -p kavello status)" = "Playing" ] || fail "play-pause did not resume"
title=$(playerctl -p kavello metadata xesam:title)
[ "$title" = "clip.avi" ] || fail "title is '$title'"
# One title only: next has nowhere to go and playback goes on.
playerctl -p kavello next || true
sleep 0.3
[ "$(playerctl -p kavello status)" = "Playing" ] || fail "next on the only title stopped playback"
playerctl -p kavello stop
sleep 0.3
[ "$(playerctl -p kavello status)" = "Stopped" ] || fail "stop did not stop"

kill -TERM "$player_pid"
code=0
wait "$player_pid" || code=$?
player_pid=""
[ "$code" = 0 ] || fail "exit code $code after SIGTERM"
echo "mpris: ok"
