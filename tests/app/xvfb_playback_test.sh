#!/usr/bin/env bash
# A clip played as a person plays it: a real (virtual) X display, a sound server with a null
# sink, `kavello --quit-at-end --screenshot-at 2 shot.png clip.mkv`. The player must play to
# the end and exit 0, its sound must reach the sink, and the screenshot must show the picture
# filling the window.
# Usage: xvfb_playback_test.sh PROGRAM_DIR
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

# The clip: 640x360 H.264 with a 1 kHz tone, 4 seconds.
ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=640x360:rate=25" \
  -f lavfi -i "sine=frequency=1000:sample_rate=48000" -t 4 \
  -c:v libx264 -pix_fmt yuv420p -c:a libvorbis "$work/clip.mkv" || fail "cannot make the clip"

# A private sound server with a null sink.
kv_start_pulse

kv_start_xvfb

kv_player_home

parec -d kv_test.monitor --format=s16le --rate=48000 --channels=2 > "$work/sink.raw" &
pids+=($!)

cd "$work"
code=0
timeout 60 "$program_dir/kavello" /log --quit-at-end --screenshot-at 2 shot.png clip.mkv || code=$?
[ "$code" = 0 ] || fail "exit code $code"
grep -q 'End of playlist' "$work/data/kavello/kavello.log" || fail "did not play to the end"

# Sound reached the sink: the loudest recorded sample is well above silence.
peak=$(od -An -td2 -w2 -v "$work/sink.raw" | awk '{v=$1<0?-$1:$1; if (v>m) m=v} END {print m+0}')
[ "$peak" -gt 3000 ] || fail "no sound at the sink (peak $peak)"

# The screenshot shows the picture filling the 640x360 window.
[ -f shot.png ] || fail "no screenshot"
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 shot.png)
[ "$size" = "640,360" ] || fail "screenshot is $size, not the 640x360 window"
# The test picture's top row of colour bars: probe 8 points across; none may be black.
ffmpeg -loglevel error -y -i shot.png -vf "crop=640:1:0:60" -f rawvideo -pix_fmt rgb24 "$work/row.rgb"
for x in 20 100 180 260 380 460 540 620; do
  rgb=$(od -An -tu1 -j $((x * 3)) -N 3 "$work/row.rgb" | awk '{print $1+$2+$3}')
  [ "$rgb" -gt 150 ] || fail "screenshot is dark at x=$x (sum $rgb): the picture does not fill the window"
done
echo "xvfb playback: ok (peak $peak)"
