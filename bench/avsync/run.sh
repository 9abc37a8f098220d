#!/usr/bin/env bash
# A/V sync benchmark: plays a clip with a white flash frame and a 1 kHz beep at the start
# of every second, and reports how far apart each flash's presentation and its beep's
# playback were (median and worst). Runs against a private PulseAudio server with a null
# sink that this script starts and stops.
#
# usage: bench/avsync/run.sh [BUILD_DIR]     (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
bin="$build/bench_avsync"
[[ -x "$bin" ]] || { echo "build the target bench_avsync first" >&2; exit 2; }

work=$(mktemp -d /tmp/kavello-avsync-XXXXXX)
cleanup() {
  [[ -f "$work/pulse/pid" ]] && kill "$(cat "$work/pulse/pid")" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The beep is gated per sample (aevalsrc): a filter's `enable` is evaluated once per audio
# frame of 1024 samples, which would start the beeps up to 21 ms late in a sawtooth of
# 2.7 ms/s that resets every 8 s (46.875 frames a second).
clip="$work/flash.mkv"
ffmpeg -nostdin -hide_banner -loglevel error -y \
  -f lavfi -i "color=c=black:s=640x360:r=25:d=20" \
  -f lavfi -i "aevalsrc=exprs='sin(2*PI*1000*t)*lt(mod(t\,1)\,0.05)':s=48000:d=20" \
  -vf "drawbox=x=0:y=0:w=iw:h=ih:color=white:t=fill:enable='lt(mod(t,1),0.04)'" \
  -c:v libx264 -preset veryfast -g 25 -pix_fmt yuv420p -c:a aac -b:a 128k "$clip"

env -u PULSE_SERVER HOME="$work" XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config" \
  pulseaudio -n --daemonize=yes --use-pid-file=yes --exit-idle-time=-1 --disallow-exit \
  --log-target="file:$work/pulse.log" \
  -L "module-null-sink sink_name=kv_avsync rate=48000 channels=1 sink_properties=device.description=AvSync" \
  -L "module-native-protocol-unix auth-anonymous=1"
export PULSE_SERVER="unix:$work/pulse/native"
"$bin" "$clip" kv_avsync
