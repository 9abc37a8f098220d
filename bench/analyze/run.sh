#!/usr/bin/env bash
# The analyzer's command-line batch beside its peers, on one 1080p H.264 clip, in one run:
#   kavello --analyze --no-image CLIP   vs  ffprobe -show_entries packet=pts_time,dts_time,size,flags -of csv CLIP
#   kavello --analyze CLIP              vs  ffmpeg -threads 0 -i CLIP -f null -   (unclocked decode)
# Prints wall and CPU seconds (best of RUNS) and the ratios. No display is needed.
#
# usage: bench/analyze/run.sh [BUILD_DIR]      (default: build)
#   SECONDS_OF_CLIP=600 (the clip's length), RUNS=3
#   CLIP=FILE        use this clip instead of making one (it is not deleted)
#   BEFORE=PROGRAM   an earlier kavello build, measured in the same run for a before/after
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
program="$build/kavello"
[[ -x $program ]] || { echo "build the target kavello first" >&2; exit 2; }
length=${SECONDS_OF_CLIP:-600}
runs=${RUNS:-3}

work=$(mktemp -d /tmp/kavello-analyze-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" HOME="$work"
unset DISPLAY WAYLAND_DISPLAY || true

if [[ -n ${CLIP:-} ]]; then
  # The tables go beside the clip: analyse a link to it in the work folder.
  ln -s "$(cd "$(dirname "$CLIP")" && pwd)/$(basename "$CLIP")" "$work/hd.mkv"
  clip="$work/hd.mkv"
  length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$clip" | cut -d. -f1)
else
  clip="$work/hd.mkv"
  echo "making a ${length}-s 1920x1080 H.264 clip..." >&2
  ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=$length" \
    -c:v libx264 -preset ultrafast -b:v 8M -g 50 -pix_fmt yuv420p "$clip"
fi

# best WALL USER+SYS of a command over the runs, output discarded
measure() {
  local best_wall="" best_cpu=""
  for _ in $(seq "$runs"); do
    local t
    t=$( { TIMEFORMAT='%R %U %S'; time "$@" > /dev/null 2>&1; } 2>&1 | tail -1)
    local wall cpu
    wall=$(awk '{print $1}' <<< "$t")
    cpu=$(awk '{print $2 + $3}' <<< "$t")
    if [[ -z $best_wall ]] || awk -v a="$wall" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then
      best_wall=$wall
      best_cpu=$cpu
    fi
  done
  echo "$best_wall $best_cpu"
}

row() {  # name wall cpu
  printf '%-58s %8.2f s wall %8.2f s cpu\n' "$1" "$2" "$3"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

read -r k1w k1c < <(measure "$program" --analyze --no-image "$clip")
read -r p1w p1c < <(measure ffprobe -v error -show_entries packet=pts_time,dts_time,size,flags -of csv "$clip")
read -r k2w k2c < <(measure "$program" --analyze "$clip")
read -r p2w p2c < <(measure ffmpeg -nostdin -v error -threads 0 -i "$clip" -f null -)
if [[ -n ${BEFORE:-} ]]; then
  read -r b1w b1c < <(measure "$BEFORE" --analyze --no-image "$clip")
  read -r b2w b2c < <(measure "$BEFORE" --analyze "$clip")
fi
frames=$("$program" --analyze --no-image "$clip" | sed -E 's/.*: ([0-9]+) frames.*/\1/')

echo "clip: ${length} s of 1920x1080 H.264 at 8 Mbit/s, $frames frames; best of $runs; $(nproc) cores; load: $(cut -d' ' -f1-3 /proc/loadavg)"
row "kavello --analyze --no-image" "$k1w" "$k1c"
row "ffprobe -show_entries packet=pts_time,dts_time,size,flags" "$p1w" "$p1c"
echo "  ratio (kavello / ffprobe): wall $(ratio "$k1w" "$p1w"), cpu $(ratio "$k1c" "$p1c")   target: wall <= 1"
row "kavello --analyze (luma and DCT measures)" "$k2w" "$k2c"
row "ffmpeg -threads 0 -i CLIP -f null -" "$p2w" "$p2c"
echo "  ratio (kavello / ffmpeg): wall $(ratio "$k2w" "$p2w"), cpu $(ratio "$k2c" "$p2c")   target: wall <= 1.2"
if [[ -n ${BEFORE:-} ]]; then
  row "before: kavello --analyze --no-image" "$b1w" "$b1c"
  echo "  ratio (before / ffprobe): wall $(ratio "$b1w" "$p1w"), cpu $(ratio "$b1c" "$p1c")"
  row "before: kavello --analyze" "$b2w" "$b2c"
  echo "  ratio (before / ffmpeg): wall $(ratio "$b2w" "$p2w"), cpu $(ratio "$b2c" "$p2c")"
fi
