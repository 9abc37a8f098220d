#!/usr/bin/env bash
# Installs what is missing, builds Kavello into build/ and starts it on FILE, or on a demo
# clip made with ffmpeg when no file is given. With no display it runs under a virtual X server.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# The player and the libraries it loads; the tests are built by test.sh.
cmake --build build -j"$(nproc)" --target kavello

args=()
if [ $# -gt 0 ]; then
  # Names are resolved against the caller's directory by the program itself.
  args=("$@")
else
  demo="build/demo/kavello-demo.mkv"
  if [ ! -f "$demo" ]; then
    mkdir -p build/demo
    ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=640x360:rate=25" \
      -f lavfi -i "sine=frequency=440:sample_rate=48000" -t 20 \
      -c:v libx264 -pix_fmt yuv420p -c:a libvorbis "$demo" 2>/dev/null \
    || ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=640x360:rate=25" \
      -f lavfi -i "sine=frequency=440:sample_rate=48000" -t 20 \
      -c:v mpeg4 -q:v 3 -c:a mp2 "$demo"
  fi
  args=("$here/$demo")
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Kavello under a virtual X server (xvfb-run)." >&2
  exec xvfb-run -a -s "-screen 0 1280x720x24" "$here/build/kavello" "${args[@]}"
fi
exec "$here/build/kavello" "${args[@]}"
