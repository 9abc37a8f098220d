#!/usr/bin/env bash
# The reliability battery: the real player put through what its most demanding users do to it,
# ending in one table (battery, count, failures, notes).
#
#   damaged-media   truncated, bit-flipped (head, middle, tail), zeroed, empty and random files
#                   with media names, a folder and a pipe named like films, an unreadable file;
#                   each with --quit-at-end under a time limit: clean ends (status 0), clean
#                   refusals (status 1 with the message on standard error), hangs, crashes
#   seek-storm      mixed MPRIS SetPosition/Seek, arrow keys and pause/play on a long clip:
#                   every command answers within 250 ms, playback resumes within 2 s
#   sound-restart   the sound server killed and started again twice during play: the picture
#                   never stops, the player's stream is back within 2 s of each restart
#   signals         SIGTERM and SIGKILL at random moments (also during the exit's write): the
#                   settings file parses and holds every earlier value each time
#   hand-over       files handed to a running instance; a stale socket after SIGKILL
#   subtitles       hostile subtitle files beside a clip: bounded time and memory, no crash
#   soak            the clips looped at 4x with random seeks: memory, descriptors and threads
#                   do not grow after the first loop
# A sanitizer report from the player counts as a crash of the run that produced it.
#
# Usage: tests/battery/run.sh [--asan|--tsan] [--short] [--only NAME] [--soak-minutes N]
#                             [--program-dir DIR]
#   --asan / --tsan   use the player of build-asan/ or build-tsan/ with the suppression
#                     files beside this script
#   --short           a few inputs each, no soak (about two minutes; what ./test.sh runs)
#   --soak-minutes 0  everything but the soak
# Exit status: 0 when no battery has a failure.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
mode=normal
short=0
only=""
soak_minutes=30
program_dir=""
while [ $# -gt 0 ]; do
  case "$1" in
    --asan) mode=asan ;;
    --tsan) mode=tsan ;;
    --short) short=1 ;;
    --only) only="$2"; shift ;;
    --soak-minutes) soak_minutes="$2"; shift ;;
    --program-dir) program_dir="$2"; shift ;;
    -h|--help) sed -n '2,30p' "$0"; exit 0 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
  shift
done
if [ -z "$program_dir" ]; then
  case "$mode" in
    asan) program_dir="$root/build-asan" ;;
    tsan) program_dir="$root/build-tsan" ;;
    *) program_dir="$root/build" ;;
  esac
fi
player="$program_dir/kavello"
[ -x "$player" ] || { echo "no player at $player (build it first)" >&2; exit 2; }

# Sanitizer builds are slower: every limit is stretched.
slow=1
case "$mode" in asan) slow=3 ;; tsan) slow=6 ;; esac

work=$(mktemp -d /tmp/kavello-battery-XXXXXX)
pids=()
pulse_dir=""
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
  [ -n "$pulse_dir" ] && [ -f "$pulse_dir/pulse/pid" ] && kill -9 "$(cat "$pulse_dir/pulse/pid")" 2>/dev/null
  [ -n "${bus_pid:-}" ] && kill "$bus_pid" 2>/dev/null
  rm -rf "$work" 2>/dev/null || true
}
trap cleanup EXIT

san_dir="$work/sanitizer"
mkdir -p "$san_dir"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:log_path=$san_dir/asan"
# The sanitizers also write which suppressions matched (print_suppressions=1): the table's
# foot lists them, so every entry of the two files is seen to be needed, or not.
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=1"
export UBSAN_OPTIONS="print_stacktrace=1:log_path=$san_dir/ubsan"
export TSAN_OPTIONS="suppressions=$here/tsan.supp:log_path=$san_dir/tsan:second_deadlock_stack=1:print_suppressions=1"

# ------------------------------------------------------------------ shared set-up

rows=()
failed_total=0
# row NAME COUNT FAILURES NOTES
row() {
  rows+=("$(printf '%-15s %7s %9s   %s' "$1" "$2" "$3" "$4")")
  failed_total=$((failed_total + $3))
  echo "[battery] $1: $2 runs, $3 failures ($4)" >&2
}
want() { [ -z "$only" ] || [ "$only" = "$1" ]; }
now_ms() { date +%s%3N; }

# Files of the sanitizers that hold a report (not only the list of matched suppressions).
report_files() {
  grep -lE 'ERROR: (AddressSanitizer|LeakSanitizer)|WARNING: ThreadSanitizer|runtime error:' "$san_dir"/* 2>/dev/null
}
# Sanitizer reports written since the last call (a report is a crash of the run).
san_seen=0
new_reports() {
  local n
  n=$(report_files | wc -l)
  echo $((n - san_seen))
  san_seen=$n
}

# A private home for one player: settings of the current version, no options dialog.
fresh_home() {
  local h="$1"
  rm -rf "$h"
  mkdir -p "$h/config/kavello" "$h/data" "$h/runtime"
  chmod 700 "$h/runtime"
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"Version"="2.3.0.0"\r\n' \
    > "$h/config/kavello/user.reg"
}
use_home() {
  export XDG_CONFIG_HOME="$1/config" XDG_DATA_HOME="$1/data" XDG_RUNTIME_DIR="$1/runtime" HOME="$1"
}

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

clips="$work/clips"
mkdir -p "$clips"
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=3" -f lavfi -i "sine=frequency=440:duration=3" \
  -c:v libx264 -preset ultrafast -g 12 -c:a aac -b:a 64k "$clips/base.mkv" || { echo "cannot make clips" >&2; exit 2; }
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=2" -c:v mpeg4 -q:v 5 "$clips/short.avi"
if [ "$short" = 1 ]; then long_seconds=30; long_size=640x360; else long_seconds=120; long_size=1920x1080; fi
long="$clips/long.mkv"
if want seek-storm || want sound-restart || want soak; then
  ff -f lavfi -i "testsrc2=size=$long_size:rate=25:duration=$long_seconds" \
    -f lavfi -i "sine=frequency=1000:duration=$long_seconds" \
    -c:v libx264 -preset ultrafast -g 25 -crf 35 -c:a aac -b:a 64k "$long"
fi

# A private X display and session bus for the batteries that use keys and MPRIS.
start_desktop() {
  [ -n "${DISPLAY_READY:-}" ] && return 0
  exec 3> >(cat > "$work/displayfd")
  Xvfb -displayfd 3 -noreset -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  disown $!
  exec 3>&-
  for _ in $(seq 1 100); do [ -s "$work/displayfd" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -1 "$work/displayfd" | tr -d '[:space:]')"
  eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | {
    read -r address; read -r pid; echo "export DBUS_SESSION_BUS_ADDRESS='$address'; bus_pid=$pid"; })"
  DISPLAY_READY=1
}

# A private sound server with a null sink, (re)started on the same socket.
start_pulse() {
  [ -n "$pulse_dir" ] || { pulse_dir="$work/pulse"; mkdir -p "$pulse_dir"; }
  env -u PULSE_SERVER HOME="$pulse_dir" XDG_RUNTIME_DIR="$pulse_dir" XDG_CONFIG_HOME="$pulse_dir/config" \
    pulseaudio -n --daemonize=yes --use-pid-file=yes --exit-idle-time=-1 --disallow-exit \
    --log-target="file:$pulse_dir/server.log" \
    -L "module-null-sink sink_name=kv_battery sink_properties=device.description=KavelloBattery" \
    -L "module-native-protocol-unix auth-anonymous=1" >/dev/null 2>&1 || return 1
  export PULSE_SERVER="unix:$pulse_dir/pulse/native"
  for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
kill_pulse() {
  local pid
  pid=$(cat "$pulse_dir/pulse/pid" 2>/dev/null) || return 0
  kill -9 "$pid" 2>/dev/null
  for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  rm -f "$pulse_dir/pulse/native" "$pulse_dir/pulse/pid"
}

# Runs the player with a time limit; prints "status" ("hang" when it had to be killed).
run_limited() {
  local limit="$1"; shift
  local code=0
  timeout -s KILL "$limit" "$@" || code=$?
  if [ "$code" = 137 ]; then echo hang; else echo "$code"; fi
}

mpris() { playerctl -p kavello "$@" 2>/dev/null; }
mpris_position() { mpris position 2>/dev/null || echo -1; }

# Starts the player on a file in the background (X display, session bus); waits until MPRIS
# says Playing. Sets player_pid.
start_playing() {
  local file="$1"
  "$player" /log "$file" >"$work/player.out" 2>&1 &
  player_pid=$!
  pids+=("$player_pid")
  for _ in $(seq 1 $((100 * slow))); do
    [ "$(mpris status)" = "Playing" ] && return 0
    sleep 0.1
  done
  return 1
}
# Ends the player with SIGTERM; its exit status in player_code ("hang" when it had to be killed).
stop_player() {
  kill -TERM "$player_pid" 2>/dev/null
  player_code=0
  if ! timeout -s KILL $((30 * slow)) tail --pid="$player_pid" -f /dev/null; then
    kill -9 "$player_pid" 2>/dev/null
    player_code=hang
  fi
  wait "$player_pid" 2>/dev/null || { [ "$player_code" = hang ] || player_code=$?; }
}

# ------------------------------------------------------------------ damaged media

battery_damaged_media() {
  local dir="$work/damaged" h="$work/home-damaged"
  mkdir -p "$dir"
  local size
  size=$(stat -c %s "$clips/base.mkv")
  head -c $((size / 2)) "$clips/base.mkv" > "$dir/truncated.mkv"
  local where
  for where in head middle tail; do
    cp "$clips/base.mkv" "$dir/flipped-$where.mkv"
    local at=0
    case "$where" in head) at=64 ;; middle) at=$((size / 2)) ;; tail) at=$((size - 4096)) ;; esac
    # 64 bytes of inverted bits
    dd if="$clips/base.mkv" bs=1 skip="$at" count=64 2>/dev/null | perl -pe 's/(.)/chr(ord($1) ^ 0xFF)/ges' \
      | dd of="$dir/flipped-$where.mkv" bs=1 seek="$at" conv=notrunc 2>/dev/null
  done
  cp "$clips/base.mkv" "$dir/zeroed.mkv"
  dd if=/dev/zero of="$dir/zeroed.mkv" bs=4096 seek=4 count=8 conv=notrunc 2>/dev/null
  : > "$dir/empty.avi"
  head -c 200000 /dev/urandom > "$dir/random.avi"
  head -c 200000 /dev/urandom > "$dir/random.mp4"
  head -c 200000 /dev/urandom > "$dir/random.mpg"
  mkdir -p "$dir/folder.mkv"
  mkfifo "$dir/pipe.avi"
  local unreadable=""
  if [ "$(id -u)" != 0 ]; then
    cp "$clips/base.mkv" "$dir/unreadable.mkv"; chmod 000 "$dir/unreadable.mkv"; unreadable="unreadable.mkv"
  fi
  local inputs=(truncated.mkv flipped-head.mkv flipped-middle.mkv flipped-tail.mkv zeroed.mkv empty.avi
                random.avi random.mp4 random.mpg folder.mkv pipe.avi $unreadable)
  [ "$short" = 1 ] && inputs=(truncated.mkv flipped-middle.mkv random.avi folder.mkv pipe.avi)
  local ends=0 refusals=0 hangs=0 crashes=0 odd=0 name status
  for name in "${inputs[@]}"; do
    fresh_home "$h"; use_home "$h"
    status=$(cd "$dir" && QT_QPA_PLATFORM=offscreen PULSE_SERVER=unix:/nonexistent \
      run_limited $((60 * slow)) "$player" --quit-at-end "$name" 2>"$work/stderr.txt")
    local reports
    reports=$(new_reports)
    if [ "$status" = hang ]; then hangs=$((hangs + 1)); echo "  hang: $name" >&2
    elif [ "$reports" -gt 0 ] || [ "$status" -gt 128 ]; then crashes=$((crashes + 1)); echo "  crash: $name ($status)" >&2
    elif [ "$status" = 0 ]; then ends=$((ends + 1))
    elif [ "$status" = 1 ] && grep -q "Cannot play file" "$work/stderr.txt"; then refusals=$((refusals + 1))
    else odd=$((odd + 1)); echo "  status $status without the message: $name" >&2
    fi
  done
  local note="clean ends $ends, clean refusals $refusals, hangs $hangs, crashes $crashes"
  [ -z "$unreadable" ] && note="$note (no unreadable file: run as root)"
  row damaged-media "${#inputs[@]}" $((hangs + crashes + odd)) "$note"
}

# ------------------------------------------------------------------ seek storm

battery_seek_storm() {
  start_desktop
  local h="$work/home-storm"
  fresh_home "$h"; use_home "$h"
  local ops=300
  [ "$short" = 1 ] && ops=40
  local late=0 worst=0 failures=0 i op t0 t1 took
  PULSE_SERVER=unix:/nonexistent QT_QPA_PLATFORM=xcb start_playing "$long" || {
    row seek-storm "$ops" "$ops" "the player did not start playing"; stop_player; return; }
  local window
  window=$(xdotool search --sync --limit 1 --pid "$player_pid" 2>/dev/null | head -1)
  local bus_name=org.mpris.MediaPlayer2.kavello base
  for i in $(seq 1 "$ops"); do
    op=$((RANDOM % 6))
    # What starting a client and a bus round trip cost now (the machine may be loaded): a
    # ping answered by the player's bus connection.
    t0=$(now_ms)
    dbus-send --session --print-reply --dest=$bus_name /org/mpris/MediaPlayer2 org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1
    base=$(( $(now_ms) - t0 ))
    t0=$(now_ms)
    case "$op" in
      0) mpris position $((RANDOM % (long_seconds - 5))) ;;
      1) mpris position 5+ ;;
      2) mpris position 3- ;;
      3) [ -n "$window" ] && xdotool key --window "$window" Right 2>/dev/null ;;
      4) [ -n "$window" ] && xdotool key --window "$window" Left 2>/dev/null ;;
      5) mpris play-pause ;;
    esac
    t1=$(now_ms)
    took=$((t1 - t0 - base))
    [ "$took" -gt "$worst" ] && worst=$took
    [ "$took" -gt $((250 * slow)) ] && late=$((late + 1))
  done
  # Playback resumes within 2 s: playing, and the position moves.
  mpris play
  local resumed=0 p0 p1
  t0=$(now_ms)
  while [ $(( $(now_ms) - t0 )) -lt $((2000 * slow)) ]; do
    p0=$(mpris_position); sleep 0.3; p1=$(mpris_position)
    if [ "$(mpris status)" = Playing ] && awk -v a="$p0" -v b="$p1" 'BEGIN { exit !(b > a) }'; then resumed=1; break; fi
  done
  [ "$resumed" = 1 ] || failures=$((failures + 1))
  stop_player
  local code=$player_code
  [ "$code" = 0 ] || failures=$((failures + 1))
  local reports
  reports=$(new_reports)
  # Answer times are wall-clock measurements: the short run (inside ./test.sh, on a machine
  # that may be busy) reports them without failing on them.
  [ "$short" = 1 ] || failures=$((failures + late))
  failures=$((failures + reports))
  row seek-storm "$ops" "$failures" "slowest answer ${worst} ms, answers over $((250 * slow)) ms: $late, resumed: $([ $resumed = 1 ] && echo yes || echo no), exit $code, sanitizer reports $reports"
}

# ------------------------------------------------------------------ sound server restart

battery_sound_restart() {
  start_desktop
  start_pulse || { row sound-restart 2 2 "no sound server"; return; }
  local h="$work/home-sound"
  fresh_home "$h"; use_home "$h"
  QT_QPA_PLATFORM=xcb start_playing "$long" || { row sound-restart 2 2 "the player did not start"; stop_player; return; }
  local failures=0 notes="" restart t0 back p0 p1
  for restart in 1 2; do
    sleep 2
    kill_pulse
    p0=$(mpris_position)
    sleep 1
    p1=$(mpris_position)
    # The picture goes on without sound.
    awk -v a="$p0" -v b="$p1" 'BEGIN { exit !(b > a) }' || { failures=$((failures + 1)); notes="$notes picture stopped;"; }
    start_pulse || { failures=$((failures + 1)); continue; }
    t0=$(now_ms); back=-1
    while [ $(( $(now_ms) - t0 )) -lt 10000 ]; do
      if [ -n "$(pactl list short sink-inputs 2>/dev/null)" ]; then back=$(( $(now_ms) - t0 )); break; fi
      sleep 0.05
    done
    # Within 2 s (a wall-clock bar: the short run inside ./test.sh only asks that it comes back).
    local bar=$((2000 * slow))
    [ "$short" = 1 ] && bar=10000
    if [ "$back" -lt 0 ] || [ "$back" -gt "$bar" ]; then failures=$((failures + 1)); fi
    notes="$notes restart $restart: sound back after ${back} ms;"
  done
  p0=$(mpris_position); sleep 1; p1=$(mpris_position)
  awk -v a="$p0" -v b="$p1" 'BEGIN { exit !(b > a) }' || { failures=$((failures + 1)); notes="$notes picture stopped at the end;"; }
  stop_player
  local code=$player_code
  [ "$code" = 0 ] || failures=$((failures + 1))
  local reports
  reports=$(new_reports)
  failures=$((failures + reports))
  kill_pulse
  unset PULSE_SERVER
  row sound-restart 2 "$failures" "${notes# } exit $code, sanitizer reports $reports"
}

# ------------------------------------------------------------------ termination signals

# True when the settings file has the regedit form and holds every sentinel value.
settings_intact() {
  local reg="$1" values="$2"
  head -1 "$reg" | tr -d '\r' | grep -qx 'Windows Registry Editor Version 5.00' || return 1
  # every line is a section, a value, a comment or empty
  tr -d '\r' < "$reg" | grep -Evq '^(\[.+\]|"([^"\\]|\\.)*"=.+|@=.+|;.*|Windows Registry Editor Version 5.00|)$' && return 1
  local i
  for i in $(seq 1 "$values"); do
    grep -q "^\"Sentinel$i\"=dword:$(printf %08x "$i")" "$reg" || return 1
  done
  return 0
}

battery_signals() {
  local h="$work/home-signals" terms=100 kills=30 values=50
  [ "$short" = 1 ] && { terms=10; kills=5; }
  fresh_home "$h"; use_home "$h"
  local reg="$h/config/kavello/user.reg" i
  {
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Battery]\r\n'
    for i in $(seq 1 "$values"); do printf '"Sentinel%d"=dword:%08x\r\n' "$i" "$i"; done
  } >> "$reg"
  local lost=0 crashes=0 hangs=0 before_main=0 cycle code pid delay early caught
  for cycle in $(seq 1 $((terms + kills))); do
    QT_QPA_PLATFORM=offscreen PULSE_SERVER=unix:/nonexistent "$player" >/dev/null 2>&1 &
    pid=$!
    delay=$((RANDOM % (1500 * slow)))
    sleep "$(printf '0.%03d' $((delay % 1000)))"; [ "$delay" -ge 1000 ] && sleep $((delay / 1000))
    early=0
    if [ "$cycle" -le "$terms" ]; then
      # The front door "kavello" holds SIGTERM back while the loader starts the player; only
      # one that comes before it runs (the shell's fork, its own start of about a
      # millisecond) can still kill with 143: counted apart.
      caught=$(awk '/^SigCgt/ { print $2 }' "/proc/$pid/status" 2>/dev/null)
      [ -n "$caught" ] && [ $(( 0x$caught & 0x4000 )) = 0 ] && early=1
      kill -TERM "$pid" 2>/dev/null
      # every third one is killed outright while it closes (and writes the settings)
      if [ $((cycle % 3)) = 0 ]; then sleep "0.0$((RANDOM % 10))"; kill -KILL "$pid" 2>/dev/null; fi
    else
      kill -KILL "$pid" 2>/dev/null
    fi
    code=0
    timeout -s KILL $((30 * slow)) tail --pid="$pid" -f /dev/null || { hangs=$((hangs + 1)); kill -9 "$pid"; }
    wait "$pid" 2>/dev/null || code=$?
    # 0 (closed), 137 (SIGKILL); 143 would be a SIGTERM that killed instead of closing
    if [ "$code" = 143 ] && [ "$early" = 1 ]; then
      before_main=$((before_main + 1))
    else
      case "$code" in 0|137) ;; *) crashes=$((crashes + 1)); echo "  cycle $cycle: status $code" >&2 ;; esac
    fi
    settings_intact "$reg" "$values" || { lost=$((lost + 1)); echo "  cycle $cycle: settings damaged" >&2; cp "$reg" "$work/damaged-$cycle.reg"; }
  done
  local reports
  reports=$(new_reports)
  row signals $((terms + kills)) $((lost + crashes + hangs + reports)) \
    "$terms SIGTERM, $kills SIGKILL: lost settings $lost, bad exits $crashes, hangs $hangs, before main $before_main, sanitizer reports $reports"
}

# ------------------------------------------------------------------ hand-over

battery_hand_over() {
  local h="$work/home-handover" n=20 failures=0 i code
  [ "$short" = 1 ] && n=4
  fresh_home "$h"; use_home "$h"
  export QT_QPA_PLATFORM=offscreen PULSE_SERVER=unix:/nonexistent
  local log1="$h/data/kavello/kavello.log"
  "$player" /log >/dev/null 2>&1 &
  local first=$!
  pids+=("$first")
  for _ in $(seq 1 $((100 * slow))); do grep -q "Screensaver state" "$log1" 2>/dev/null && break; sleep 0.1; done
  for i in $(seq 1 "$n"); do
    cp "$clips/short.avi" "$work/handover-$i.avi"
    code=$(run_limited $((30 * slow)) "$player" "$work/handover-$i.avi")
    [ "$code" = 0 ] || { failures=$((failures + 1)); echo "  hand-over $i: $code" >&2; }
  done
  sleep 1
  local received
  received=$(grep -c "Instance hand-over: " "$log1" 2>/dev/null)
  [ "$received" -ge "$n" ] || failures=$((failures + n - received))
  # A stale socket: the first instance is killed; the next one must take over.
  kill -KILL "$first"; wait "$first" 2>/dev/null
  mv "$log1" "$work/handover1.log"
  "$player" /log >/dev/null 2>&1 &
  local second=$!
  pids+=("$second")
  local up=0
  for _ in $(seq 1 $((100 * slow))); do grep -q "Screensaver state" "$log1" 2>/dev/null && { up=1; break; }; sleep 0.1; done
  code=$(run_limited $((30 * slow)) "$player" "$work/handover-1.avi")
  sleep 1
  local taken=0
  grep -q "Instance hand-over: " "$log1" 2>/dev/null && taken=1
  [ "$up" = 1 ] && [ "$code" = 0 ] && [ "$taken" = 1 ] || failures=$((failures + 1))
  kill -TERM "$second"; wait "$second" 2>/dev/null
  unset QT_QPA_PLATFORM PULSE_SERVER
  local reports
  reports=$(new_reports)
  row hand-over $((n + 1)) $((failures + reports)) \
    "$received of $n received; after SIGKILL: new instance up $up, hand-over to it $taken; sanitizer reports $reports"
}

# ------------------------------------------------------------------ hostile subtitles

battery_subtitles() {
  local dir="$work/subs" h="$work/home-subs"
  mkdir -p "$dir"
  local kinds=(long-line many-entries ssa-unterminated utf16-no-bom garbage)
  [ "$short" = 1 ] && kinds=(many-entries ssa-unterminated garbage)
  local failures=0 worst_kb=0 kind status kb
  for kind in "${kinds[@]}"; do
    local d="$dir/$kind"
    mkdir -p "$d"
    cp "$clips/short.avi" "$d/clip.avi"
    case "$kind" in
      long-line) head -c 20000000 /dev/zero | tr '\0' 'x' > "$d/clip.srt" ;;
      many-entries)
        awk 'BEGIN { for (i = 0; i < 100000; i++) { s = i * 2; printf "%d\r\n%02d:%02d:%02d,000 --> %02d:%02d:%02d,500\r\nLine %d\r\n\r\n", i + 1, s / 3600, (s / 60) % 60, s % 60, s / 3600, (s / 60) % 60, s % 60, i } }' > "$d/clip.srt" ;;
      ssa-unterminated)
        { printf '[Script Info]\nScriptType: v4.00\n\n[Events]\nFormat: Marked, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n'
          for i in $(seq 1 2000); do printf 'Dialogue: Marked=0,0:00:00.00,0:00:05.00,*Default,,0000,0000,0000,,{\\b1{\\i1 text %d {\\pos(\n' "$i"; done; } > "$d/clip.ssa" ;;
      utf16-no-bom) printf '1\r\n00:00:00,000 --> 00:00:01,500\r\nHello world\r\n\r\n' | iconv -f UTF-8 -t UTF-16LE > "$d/clip.srt" ;;
      garbage) head -c 3000000 /dev/urandom > "$d/clip.srt" ;;
    esac
    fresh_home "$h"; use_home "$h"
    status=$(cd "$d" && QT_QPA_PLATFORM=offscreen PULSE_SERVER=unix:/nonexistent \
      run_limited $((90 * slow)) /usr/bin/time -f '%M' -o "$work/rss.txt" "$player" --quit-at-end clip.avi 2>/dev/null)
    kb=$(tail -1 "$work/rss.txt" 2>/dev/null | tr -dc '0-9'); kb=${kb:-0}
    [ "$kb" -gt "$worst_kb" ] && worst_kb=$kb
    local reports
    reports=$(new_reports)
    # time(1) reports the player's own status; a sanitizer build takes more memory
    if [ "$status" != 0 ] || [ "$reports" -gt 0 ] || [ "$kb" -gt $((1500000 * slow)) ]; then
      failures=$((failures + 1)); echo "  $kind: status $status, ${kb} kB, reports $reports" >&2
    fi
  done
  row subtitles "${#kinds[@]}" "$failures" "largest resident size $((worst_kb / 1024)) MB"
}

# ------------------------------------------------------------------ soak

proc_counts() {  # resident kB, descriptors, threads of $1
  local rss fds threads
  rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$1/status" 2>/dev/null)
  fds=$(ls "/proc/$1/fd" 2>/dev/null | wc -l)
  threads=$(awk '/^Threads/ { print $2 }' "/proc/$1/status" 2>/dev/null)
  echo "${rss:-0} $fds ${threads:-0}"
}

battery_soak() {
  start_desktop
  local h="$work/home-soak"
  fresh_home "$h"; use_home "$h"
  local list=("$long" "$clips/base.mkv" "$clips/short.avi")
  export PULSE_SERVER=unix:/nonexistent
  QT_QPA_PLATFORM=xcb start_playing "${list[0]}" || { row soak 1 1 "the player did not start"; stop_player; return; }
  local end=$(( $(date +%s) + soak_minutes * 60 )) loops=0 first="" last="" item
  while [ "$(date +%s)" -lt "$end" ]; do
    for item in "${list[@]}"; do
      # The running instance takes each clip over (the single-instance hand-over).
      QT_QPA_PLATFORM=offscreen "$player" "$item" >/dev/null 2>&1
      sleep 0.5
      mpris play
      playerctl -p kavello metadata >/dev/null 2>&1
      dbus-send --session --type=method_call --dest=org.mpris.MediaPlayer2.kavello /org/mpris/MediaPlayer2 \
        org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player string:Rate variant:double:4.0 2>/dev/null
      local s
      for s in 1 2 3 4 5; do mpris position $((RANDOM % 3)) ; sleep 1; done
    done
    loops=$((loops + 1))
    [ "$loops" = 1 ] && first=$(proc_counts "$player_pid")
    last=$(proc_counts "$player_pid")
    echo "[soak] loop $loops: resident kB, descriptors, threads: $last" >&2
  done
  stop_player
  local code=$player_code
  local reports
  reports=$(new_reports)
  read -r rss0 fd0 th0 <<< "${first:-0 0 0}"
  read -r rss1 fd1 th1 <<< "${last:-0 0 0}"
  local failures=0 growth=0
  [ "$rss0" -gt 0 ] && growth=$(( (rss1 - rss0) * 1000 / rss0 ))
  [ "$growth" -lt 50 ] || failures=$((failures + 1))
  [ "$fd1" -le "$fd0" ] || failures=$((failures + 1))
  [ "$th1" -le "$th0" ] || failures=$((failures + 1))
  [ "$code" = 0 ] || failures=$((failures + 1))
  unset PULSE_SERVER
  row soak "$loops" $((failures + reports)) \
    "$soak_minutes min: resident $((rss0 / 1024))->$((rss1 / 1024)) MB ($((growth / 10)).$((growth % 10)) %), fds $fd0->$fd1, threads $th0->$th1, exit $code, sanitizer reports $reports"
}

# ------------------------------------------------------------------ run and report

started=$(date +%s)
want damaged-media && battery_damaged_media
want signals && battery_signals
want hand-over && battery_hand_over
want subtitles && battery_subtitles
want sound-restart && battery_sound_restart
want seek-storm && battery_seek_storm
if [ "$short" = 0 ] && [ "$soak_minutes" -gt 0 ] && want soak; then battery_soak; fi

echo
echo "Kavello battery ($mode build$([ "$short" = 1 ] && echo ", short"), $(( $(date +%s) - started )) s)"
printf '%-15s %7s %9s   %s\n' battery count failures notes
for r in "${rows[@]}"; do echo "$r"; done
if [ -n "$(find "$san_dir" -type f 2>/dev/null)" ]; then
  # LeakSanitizer: "  count  bytes  template" under "Suppressions used:";
  # ThreadSanitizer: "count race:template" under "Matched N suppressions".
  echo
  echo "Suppressions matched (processes, total count, entry):"
  cat "$san_dir"/* | awk '
    /^Suppressions used:/ { lsan = 1; next }
    /^-----/ { lsan = 0 }
    lsan && $1 ~ /^[0-9]+$/ && $2 ~ /^[0-9]+$/ { t = $0; sub(/^ *[0-9]+ +[0-9]+ /, "", t); n["leak:" t] += $1; p["leak:" t]++ }
    /^ThreadSanitizer: Matched/ { tsan = 1; next }
    tsan && $1 ~ /^[0-9]+$/ && NF == 2 { n[$2] += $1; p[$2]++; next }
    tsan { tsan = 0 }
    END { for (k in n) printf "  %5d %7d   %s\n", p[k], n[k], k; if (length(n) == 0) print "  none" }'
fi
if [ -n "$(report_files)" ]; then
  echo
  echo "Sanitizer reports:"
  for f in $(report_files); do echo "--- $f"; head -40 "$f"; done
fi
[ "$failed_total" = 0 ]
