#!/usr/bin/env bash
# Runs the main-window plug-in test on a private Xvfb display (the real X11 platform of Qt),
# so that the screenshots it writes are what a display shows.
# Usage: xvfb_plugins_test.sh TEST_BINARY
set -euo pipefail
binary="$1"
work=$(mktemp -d)
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  [ -n "$xvfb" ] && wait "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
exec 3> >(cat > "$work/displayfd")
Xvfb -displayfd 3 -noreset -screen 0 1280x720x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 1 100); do [ -s "$work/displayfd" ] && break; sleep 0.1; done
[ -s "$work/displayfd" ] || { echo "FAIL: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/displayfd" | tr -d '[:space:]')"
export QT_QPA_PLATFORM=xcb
"$binary"
