#!/usr/bin/env bash
# The one list of Debian packages that building, testing and running Kavello need.
# run.sh, test.sh and .ci/run all call this; it installs only what is missing.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config git
  # libraries
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev libavfilter-dev
  libpulse-dev libjpeg-dev libzvbi-dev libx11-dev libxcb1-dev libxext-dev libxss-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # test and run-time tools
  ffmpeg pulseaudio pulseaudio-utils xvfb xauth x11-utils x11-xserver-utils xdotool dbus dbus-x11 playerctl time
  fonts-dejavu-core
  # file associations: the MIME database and the desktop's own tools (the tests ask xdg-mime)
  shared-mime-info desktop-file-utils xdg-utils
  # Wayland sessions (Qt's platform plugin, a headless compositor for the tests)
  qt6-wayland weston
  # packaging: cpack's dependency scan, and the checks of the desktop entry, AppStream data and man pages
  dpkg-dev desktop-file-utils appstream man-db
)

# Optional group: clang and its runtime libraries (they hold libFuzzer) for the fuzz targets
# under tests/fuzz; installed only when KAVELLO_WITH_FUZZ=1 is set.
if [ "${KAVELLO_WITH_FUZZ:-0}" = 1 ]; then
  PACKAGES+=(clang libclang-rt-dev)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
