#!/usr/bin/env bash
# CPU benchmark: user + system CPU time to play 20 s of 1080p H.264 and of 576p MPEG-4 at
# 1x under Xvfb with the software video renderer, beside mpv (--vo=x11 --ao=pulse) and
# VLC (cvlc --play-and-exit) on the same clips in the same run, with the frames each one
# dropped. Starts its own Xvfb (when there is no DISPLAY) and a private PulseAudio server
# with a null sink. mpv and VLC are installed here when missing (not by the main install
# list: they are only the yardstick).
#
# usage: bench/playcpu/run.sh [BUILD_DIR]     (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
bin="$build/bench_playcpu"
[[ -x "$bin" ]] || { echo "build the target bench_playcpu first" >&2; exit 2; }

if ! command -v mpv >/dev/null || ! command -v cvlc >/dev/null; then
  SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
    mpv vlc-bin vlc-plugin-base vlc-plugin-video-output >/dev/null || echo "peers could not be installed" >&2
fi

work=$(mktemp -d /tmp/kavello-playcpu-XXXXXX)
xvfb_pid=""
cleanup() {
  [[ -f "$work/pulse/pid" ]] && kill "$(cat "$work/pulse/pid")" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

if [[ -z "${DISPLAY:-}" ]]; then
  Xvfb :97 -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:97
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi
export QT_QPA_PLATFORM=xcb

env -u PULSE_SERVER HOME="$work" XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config" \
  pulseaudio -n --daemonize=yes --use-pid-file=yes --exit-idle-time=-1 --disallow-exit \
  --log-target="file:$work/pulse.log" \
  -L "module-null-sink sink_name=kv_playcpu sink_properties=device.description=PlayCpu" \
  -L "module-native-protocol-unix auth-anonymous=1"
export PULSE_SERVER="unix:$work/pulse/native"

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }
ff -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=20" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=20" \
  -c:v libx264 -preset veryfast -b:v 8M -g 50 -pix_fmt yuv420p -c:a aac -b:a 160k "$work/hd.mp4"
ff -f lavfi -i "testsrc2=size=720x576:rate=25:duration=20" -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=20" \
  -c:v mpeg4 -q:v 4 -g 50 -c:a mp2 -b:a 192k "$work/sd.avi"

cat > "$work/drops.lua" <<'LUA'
local drops = 0
mp.observe_property("frame-drop-count", "number", function(_, v) if v then drops = v end end)
mp.register_event("shutdown", function() io.stderr:write("DROPPED " .. drops .. "\n") end)
LUA

# cpu COMMAND...: prints "user+sys seconds" of the command and its children; its stderr to $work/err
cpu() {
  /usr/bin/time -f "%U %S" -o "$work/time" "$@" >"$work/out" 2>"$work/err" || true
  tail -1 "$work/time" | awk '{ printf "%.2f", $1 + $2 }'
}
# VLC refuses to run as root: run it as nobody, with the sockets and clips readable.
as_user=()
if [[ $(id -u) -eq 0 ]]; then
  chmod 755 "$work" "$work/pulse"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$work/vlc-home")
  mkdir -p "$work/vlc-home" && chmod 777 "$work/vlc-home"
fi

printf "%-6s %-8s %8s %8s  %s\n" clip player cpu_s dropped note
for clip in hd.mp4 sd.avi; do
  c=$(cpu "$bin" "$work/$clip")
  printf "%-6s %-8s %8s %8s  %s\n" "${clip%%.*}" kavello "$c" "$(grep -o 'dropped: [0-9]*' "$work/out" | cut -d' ' -f2)" "$(cat "$work/out")"
  if command -v mpv >/dev/null; then
    c=$(cpu mpv --no-config --vo=x11 --ao=pulse --really-quiet --script="$work/drops.lua" "$work/$clip")
    printf "%-6s %-8s %8s %8s\n" "${clip%%.*}" mpv "$c" "$(grep -o 'DROPPED [0-9]*' "$work/err" | cut -d' ' -f2)"
  fi
  if command -v cvlc >/dev/null; then
    c=$(cpu "${as_user[@]}" cvlc --play-and-exit --no-video-title-show -V x11 -A pulse --verbose=2 "$work/$clip")
    printf "%-6s %-8s %8s %8s\n" "${clip%%.*}" vlc "$c" "$(grep -c 'too late to be displayed' "$work/err" || true)"
  fi
done
