# A private desktop for the shell tests that run the real player: a virtual X display, a
# sound server with a null sink, and a home of its own, so that tests running side by side
# (and the user's own session) never meet.
#
# Source it after setting `work` (a fresh temporary folder) and call:
#   kv_start_xvfb [WxHxD [ARG...]]
#                           Xvfb on a free display number (ARGs added to its command line,
#                           e.g. -extension MIT-SHM); exports DISPLAY
#   kv_start_pulse          PulseAudio with the null sink "kv_test"; exports PULSE_SERVER
#   kv_player_home [FIRST]  config, data and runtime folders under $work; exports the XDG
#                           folders, HOME, the X11 platform of Qt and no session bus. Unless
#                           FIRST is "first-run", a user.reg past the first start is written.
#   kv_stop_session         stops what these started, the last started first (call it from
#                           the test's EXIT trap before removing $work)
#   kv_wait_text FILE TEXT SECONDS
#                           waits until FILE (a log) holds TEXT; fails (status 1) after SECONDS
# The test's own `fail` function is used for errors when it exists.

kv_session_pids=()

kv_wait_text() {
  for _ in $(seq 1 $(( $3 * 10 ))); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

kv_session_fail() {
  if declare -F fail >/dev/null; then fail "$@"; fi
  echo "FAIL: $*" >&2
  exit 1
}

kv_start_xvfb() {
  local screen="${1:-1280x720x24}"
  shift || true
  rm -f "$work/displayfd"
  exec 3> >(cat > "$work/displayfd")
  Xvfb -displayfd 3 -noreset -screen 0 "$screen" -nolisten tcp "$@" >"$work/xvfb.log" 2>&1 &
  kv_session_pids+=($!)
  exec 3>&-
  for _ in $(seq 1 100); do [ -s "$work/displayfd" ] && break; sleep 0.1; done
  [ -s "$work/displayfd" ] || { cat "$work/xvfb.log" >&2; kv_session_fail "Xvfb did not start"; }
  export DISPLAY=":$(head -1 "$work/displayfd" | tr -d '[:space:]')"
  for _ in $(seq 1 100); do xset q >/dev/null 2>&1 && return 0; sleep 0.1; done
  kv_session_fail "the X display $DISPLAY does not answer"
}

kv_start_pulse() {
  mkdir -p "$work/pulse"
  env -u PULSE_SERVER HOME="$work/pulse" XDG_RUNTIME_DIR="$work/pulse" XDG_CONFIG_HOME="$work/pulse/config" \
    pulseaudio -n --daemonize=yes --use-pid-file=yes --exit-idle-time=-1 --disallow-exit \
    --log-target="file:$work/pulse/server.log" \
    -L "module-null-sink sink_name=kv_test sink_properties=device.description=KavelloTest" \
    -L "module-native-protocol-unix auth-anonymous=1" || kv_session_fail "pulseaudio did not start"
  export PULSE_SERVER="unix:$work/pulse/pulse/native"
  for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && return 0; sleep 0.1; done
  kv_session_fail "pulseaudio does not answer"
}

kv_player_home() {
  mkdir -p "$work/config/kavello" "$work/data" "$work/runtime"
  chmod 700 "$work/runtime"
  if [ "${1:-}" != first-run ]; then
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"Version"="2.3.0.0"\r\n' \
      > "$work/config/kavello/user.reg"
  fi
  export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime" HOME="$work"
  export QT_QPA_PLATFORM=xcb
  unset DBUS_SESSION_BUS_ADDRESS || true
}

kv_stop_session() {
  local i
  for ((i = ${#kv_session_pids[@]} - 1; i >= 0; i--)); do
    kill "${kv_session_pids[i]}" 2>/dev/null || true
    wait "${kv_session_pids[i]}" 2>/dev/null || true
  done
  kv_session_pids=()
  if [ -f "$work/pulse/pulse/pid" ]; then kill "$(cat "$work/pulse/pulse/pid")" 2>/dev/null || true; fi
}
