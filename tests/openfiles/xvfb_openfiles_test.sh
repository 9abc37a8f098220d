#!/usr/bin/env bash
# "Open files" under a real X server: the main window's menu opens the dialog, a playlist of
# three titles is built in it and played to the end, and --quit-at-end ends the program after
# the last title. The dialog's screenshot is kept at SHOT.
# Usage: xvfb_openfiles_test.sh TEST_BINARY SHOT.png
set -euo pipefail
binary="$1"
shot="$2"
work=$(mktemp -d)
. "$(dirname "$0")/../lib/session.sh"
cleanup() {
  kv_stop_session
  rm -rf "$work" 2>/dev/null || true
}
trap cleanup EXIT

kv_start_xvfb 1280x800x24
export QT_QPA_PLATFORM=xcb HOME="$work" KAVELLO_OPENFILES_SHOT="$shot"
rm -f "$shot"
timeout 200 "$binary" --gtest_filter='OpenFilesInMainWindow.UnderX*' | tee "$work/run.log"
grep -q 'PASSED  \] 1 test' "$work/run.log" || { echo "FAIL: the run under X did not pass" >&2; exit 1; }
[ -s "$shot" ] || { echo "FAIL: no screenshot of the dialog" >&2; exit 1; }
echo "xvfb open files: ok (dialog screenshot: $shot)"
