#!/usr/bin/env bash
# `kavello --analyze` as a script runs it, without a display: over every generated clip its
# frame count and byte total must equal ffprobe's packet list of the first video stream
# (MPEG-1/2 after the merge rule: a packet with neither a key-frame flag nor a time adds to
# the frame before it; whole timed P and B pictures stay frames), each table must be
# written beside its clip with one line per frame; the
# picture measures appear without --no-image; damaged clips end without a crash or hang;
# a file of more frames than the table holds says so; a missing file gives exit code 1 and
# its reason on standard error.
# Usage: cli_analyze_test.sh PROGRAM_DIR CLIPS_DIR
set -euo pipefail
trap 'echo "cli analyze test: command failed at line $LINENO: $BASH_COMMAND" >&2' ERR
program="$1/kavello"
clips="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/data" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" HOME="$work"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS || true

[[ -f "$clips/clips.list" ]] || fail "no clips in $clips"
files=()
while read -r name; do
  # Clips with a video stream only.
  # (whole-output readers only: an early exit would kill ffprobe with SIGPIPE under pipefail)
  if [[ -n $(ffprobe -v error -select_streams v:0 -show_entries stream=index -of csv=p=0 "$clips/$name") ]]; then
    cp "$clips/$name" "$work/$name"
    files+=("$work/$name")
  fi
done < "$clips/clips.list"
[[ ${#files[@]} -ge 10 ]] || fail "only ${#files[@]} video clips"

code=0
timeout 300 "$program" --analyze --no-image "${files[@]}" > "$work/out.txt" 2> "$work/err.txt" || code=$?
cat "$work/err.txt" >&2
[[ $code == 0 ]] || fail "exit code $code"

checked=0
mpeg_checked=0
for f in "${files[@]}"; do
  line=$(grep -F "$f: " "$work/out.txt") || fail "no line for $f"
  frames=$(sed -E 's/.*: ([0-9]+) frames, .*/\1/' <<< "$line")
  bytes=$(sed -E 's/.*frames, ([0-9]+) bytes, .*/\1/' <<< "$line")
  codec=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 "$f" | sed -n 1p | tr -d ",")
  merge=0
  [[ $codec == mpeg1video || $codec == mpeg2video ]] && merge=1
  read -r want_frames want_bytes < <(ffprobe -v error -select_streams v:0 -show_entries packet=pts,dts,size,flags -of csv=p=0 "$f" |
    awk -F, -v merge=$merge 'NF >= 4 && $3 > 0 {
      b += $3; untimed = $1 == "N/A" && $2 == "N/A"
      if (!merge || n == 0 || index($4, "K") || !untimed) n++ } END { print n + 0, b + 0 }')
  if [[ $merge == 1 ]]; then
    # The MPEG files of the set are whole timed frames: the merge must leave every packet.
    packets=$(ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 "$f" | awk -F, '$1 > 0' | wc -l)
    [[ $want_frames == "$packets" ]] || fail "$(basename "$f"): $want_frames frames after the merge, $packets packets"
    mpeg_checked=$((mpeg_checked + 1))
  fi
  [[ $frames == "$want_frames" && $bytes == "$want_bytes" ]] ||
    fail "$(basename "$f"): $frames frames $bytes bytes, ffprobe says $want_frames frames $want_bytes bytes"
  table="${f%.*}.cvs"
  [[ $line == *", table $table"* ]] || fail "$(basename "$f"): line names no table: $line"
  [[ $(wc -l < "$table") == $((frames + 1)) ]] || fail "$(basename "$f"): table lines"
  sed -n 1p "$table" | grep -q $'^StartTime,StopTime,TimestampIn,TimestampOut,Bytes,.*,DCT Min\r$' ||
    fail "$(basename "$f"): table header"
  checked=$((checked + 1))
done
echo "frame counts and bytes agree with ffprobe on $checked clips ($mpeg_checked MPEG-1/2)"
[[ $mpeg_checked -ge 3 ]] || fail "only $mpeg_checked MPEG-1/2 clips"

# Picture measures: every frame of a decoded clip has a luma average between 16 and 235.
one="$work/mkv_h264_aac.mkv"
[[ -f $one ]] || one="${files[0]}"
"$program" --analyze "$one" > /dev/null || fail "analysis with picture measures"
awk -F, 'NR > 1 && ($9 < 16 || $9 > 235 || $13 <= 0) { bad++ } END { exit bad > 0 }' "${one%.*}.cvs" ||
  fail "picture measures missing in ${one%.*}.cvs"

# Damaged clips end (analysed as far as they decode), without a crash or a hang.
for f in "$clips"/*.trunc.* "$clips"/*.flip.*; do
  [[ -f $f ]] || continue
  cp "$f" "$work/damaged"
  code=0
  timeout 120 "$program" --analyze "$work/damaged" > /dev/null 2>&1 || code=$?
  [[ $code -le 1 ]] || fail "$(basename "$f"): exit code $code"
  rm -f "$work/damaged" "$work/damaged.cvs"
done

# More frames than the table holds (tiny pictures, so that it is quick): recording stops at
# the capacity and the file's line says so; the table has the capacity's lines.
ffmpeg -nostdin -v error -y -f lavfi -i color=c=gray:s=16x16:r=1000 -t 210.001 -c:v mpeg4 -g 1000 "$work/many.avi"
"$program" --analyze --no-image "$work/many.avi" > "$work/out3.txt" || fail "capacity: exit code $?"
grep -q "many.avi: 210000 frames, .*, frame table full: only the first 210000 frames" "$work/out3.txt" ||
  fail "capacity: $(cat "$work/out3.txt")"
[[ $(wc -l < "$work/many.cvs") == 210001 ]] || fail "capacity: table lines"

# A missing file: exit code 1, the reason on standard error, the other file still done.
code=0
"$program" --analyze "$work/missing.mkv" "$one" > "$work/out2.txt" 2> "$work/err2.txt" || code=$?
[[ $code == 1 ]] || fail "missing file: exit code $code"
grep -q "missing.mkv: no such file" "$work/err2.txt" || fail "missing file: no reason on stderr"
grep -q "$(basename "$one"): [0-9]* frames" "$work/out2.txt" || fail "missing file stopped the batch"
echo "cli analyze: ok"
