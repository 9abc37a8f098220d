#!/usr/bin/env bash
# A/V offset of the real programs alone: the `av` part of run.sh (Kavello, mpv and VLC play a
# 20-s clip that beeps at every whole second; each second's frame on screen is timed against
# the beep's onset at the null sink's monitor). See run.sh for the method and error bounds.
#
# usage: bench/player/av_probe.sh [BUILD_DIR]     env: RUNS, PLAYERS, LOGS as for run.sh
here=$(cd "$(dirname "$0")" && pwd)
PARTS=av exec "$here/run.sh" "$@"
