#!/usr/bin/env bash
# Side-by-side benchmark of the real programs: Kavello, mpv and VLC, measured the same way in
# one run, players alternated, one table with Kavello's ratio to the best peer.
#
#   cpu_s / rss_mib  user+system CPU seconds and peak RSS (/usr/bin/time, whole process) of
#                    playing a 20-s clip at 1x to its end (1080p H.264+AAC, 576p MPEG-4+MP3),
#                    median of RUNS runs; sound goes to a PulseAudio null sink. cpu_*_spread_pct:
#                    (slowest - fastest run) / median, in percent, per player: a ratio inside
#                    it is a tie. cpu_start / rss_start: the same for the first 0.6 s of the
#                    1080p clip, what starting, the first frames and closing cost
#   drops            frames of the clip never seen on screen (frame_watch reads the frame
#                    number the clip draws in a strip along its top from the X display every
#                    4 ms; every frame is on screen for 40 ms): the same count for all three
#   first_ms         process start to the first frame of the clip on screen, median of RUNS
#   seek_exact_*     MPRIS SetPosition (playerctl position T) to a frame near the target on
#                    screen, while playing and while paused, median and p95 of SEEKS seeks per
#                    state; `off` is the median landed-minus-target frame (0: exact seek, < 0:
#                    the key frame before)
#   seek_key_*       the same with MPRIS Seek (playerctl position D+ / D-, D from the
#                    position the player reports to the target, read before the timed
#                    command): Kavello's and mpv's are key-frame seeks (mpv's relative seek is
#                    one by default; `off` shows it); VLC has no key-frame seek per command
#                    and its row is its MPRIS Seek all the same. Without mpv's MPRIS plug-in,
#                    mpv's row is its JSON IPC "seek T absolute+keyframes" written to its
#                    socket by frame_watch (no process start: 10-30 ms in mpv's favour)
#   av_*             A/V offset of the real program on a 20-s clip that beeps at every whole
#                    second (bench/player/av_probe.sh runs this part alone): when each whole
#                    second's frame first shows on screen minus its beep's onset at the null
#                    sink's monitor (parec), both on the monotonic clock; > 0: picture late.
#                    med: median offset, worst: largest |offset|; from the third second on
#                    (after the start's settling): drift, the least-squares slope in ms per s,
#                    and step, the largest change from one second to the next
#
# Error bounds: screen times carry frame_watch's polling interval (1 ms while waiting for a
# first frame or a seek, 0.5 ms in the A/V part, plus the X server's reply); seek times also
# carry the start of the playerctl process and one D-Bus round trip (the same for every
# player, ~10-30 ms here). Beep times carry the monitor's placement on the clock (the median
# of the sink's block arrivals within 2 s of the beep: +-1 ms; the null sink plays some
# 50-70 ppm fast, so one origin for a whole run would not do) and the onset threshold (the
# beep's first quarter period, < 0.3 ms); a relative seek's target carries the frame shown
# when it was sent.
# Xvfb's own CPU (drawing what the players send it) is counted for nobody. On a shared,
# loaded machine wall-clock figures are noisy; CPU seconds compared within one alternated run
# are the firm ones.
#
# Everything runs as one unprivileged user when started as root (VLC refuses root), with a
# private Xvfb, PulseAudio server and D-Bus session bus. mpv, mpv-mpris, VLC and playerctl are
# installed here when missing (they are only the yardstick, not in the main install list).
#
# usage: bench/player/run.sh [BUILD_DIR]      (default: build)
#   env: RUNS=3 (play, first-frame and A/V runs per player), SEEKS=10 (seeks per state and kind),
#        PLAYERS="kavello mpv vlc", CLIPS="hd sd start", PARTS="play first seek av" (which parts),
#        LOGS=DIR (keep the players' logs there)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
kavello="$build/kavello"
[[ -x "$kavello" ]] || kavello=$(find "$build" -maxdepth 3 -type f -name kavello -perm -u+x | head -1)
watch="$build/bench/bin/frame_watch"
[[ -x "$kavello" && -x "$watch" ]] || { echo "build the targets kavello and frame_watch first" >&2; exit 2; }
RUNS=${RUNS:-3}
SEEKS=${SEEKS:-10}
PLAYERS=${PLAYERS:-"kavello mpv vlc"}
CLIPS=${CLIPS:-"hd sd start"}
PARTS=${PARTS:-"play first seek av"}
part() { [[ " $PARTS " == *" $1 "* ]]; }

missing=()
command -v mpv >/dev/null || missing+=(mpv)
[[ -e /usr/lib/mpv-mpris/mpris.so ]] || missing+=(mpv-mpris)
command -v cvlc >/dev/null || missing+=(vlc-bin vlc-plugin-base vlc-plugin-video-output)
command -v playerctl >/dev/null || missing+=(playerctl)
command -v parec >/dev/null || missing+=(pulseaudio-utils)
command -v dbus-daemon >/dev/null || missing+=(dbus-daemon)
[[ -x /usr/bin/time ]] || missing+=(time)
command -v Xvfb >/dev/null || missing+=(xvfb)
if ((${#missing[@]})); then
  SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
    echo "peers could not be installed: ${missing[*]}" >&2
fi

# The clips, made once and kept in the build tree: the frame number in 8 grey base-4 blocks
# along the top (levels 51/102/153/204), read by frame_watch.
clips="$build/bench/player-clips"
mkdir -p "$clips"
code="nullsrc=s=8x1:r=25:d=20,geq=lum='51*(1+mod(floor(N/pow(4\,X))\,4))':cb=128:cr=128"
make_clip() {  # NAME WxH AUDIO_SOURCE VIDEO_CODEC_ARGS... -- AUDIO_CODEC_ARGS...
  local name=$1 size=$2 audio=$3; shift 3
  [[ -s "$clips/$name" ]] && return
  local vargs=() ; while [[ $1 != -- ]]; do vargs+=("$1"); shift; done; shift
  local w=${size%x*} h=${size#*x}
  ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=size=$size:rate=25:duration=20" -f lavfi -i "$audio" \
    -filter_complex "$code,scale=$w:$((h / 8)):flags=neighbor[code];[0:v][code]overlay=0:0:shortest=1[v]" \
    -map "[v]" -map 1:a "${vargs[@]}" "$@" "$clips/tmp-$name" && mv "$clips/tmp-$name" "$clips/$name"
}
tone="sine=frequency=440:sample_rate=48000:duration=20"
# A 1-kHz beep of 50 ms at every whole second, gated per sample (a filter's `enable` would
# start it at the next 1024-sample audio frame, up to 21 ms late).
beep="aevalsrc=exprs='sin(2*PI*1000*t)*lt(mod(t\\,1)\\,0.05)':s=48000:d=20"
make_clip hd.mp4 1920x1080 "$tone" -c:v libx264 -preset veryfast -b:v 8M -g 50 -pix_fmt yuv420p -- -c:a aac -b:a 160k
make_clip sd.avi 720x576 "$tone" -c:v mpeg4 -q:v 4 -g 50 -- -c:a libmp3lame -b:a 192k
make_clip av.mp4 960x540 "$beep" -c:v libx264 -preset veryfast -b:v 3M -g 50 -pix_fmt yuv420p -- -c:a aac -b:a 160k
if [[ ! -s "$clips/start.mp4" ]]; then
  ffmpeg -nostdin -hide_banner -loglevel error -y -i "$clips/hd.mp4" -t 0.6 -c copy "$clips/tmp-start.mp4" &&
    mv "$clips/tmp-start.mp4" "$clips/start.mp4"
fi
declare -A clipfile=([hd]=hd.mp4 [sd]=sd.avi [start]=start.mp4)

work=$(mktemp -d /tmp/kavello-player-bench-XXXXXX)
chmod 755 "$work"
pids=()
cleanup() {
  [[ -n ${LOGS:-} ]] && mkdir -p "$LOGS" && cp "$work"/*.log "$work"/seeks-* "$work"/av-* "$work/results" "$work/kavello-own.log" "$LOGS/" 2>/dev/null || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [[ -f "$work/pulse/pid" ]] && kill "$(cat "$work/pulse/pid")" 2>/dev/null || true
  [[ -f "$work/dbus.pid" ]] && kill "$(cat "$work/dbus.pid")" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# One unprivileged user for the players, the bus and playerctl.
as_user=()
if [[ $(id -u) -eq 0 ]]; then as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups); fi
cp "$clips/hd.mp4" "$clips/sd.avi" "$clips/av.mp4" "$clips/start.mp4" "$work/" &&
  chmod 644 "$work"/*.mp4 "$work"/sd.avi

# Display: a private Xvfb large enough that a 1080p window placed for a smaller one (as Kavello
# does without a window manager) still lies wholly on screen: frame_watch reads the screen.
exec 3> >(cat > "$work/displayfd")
Xvfb -displayfd 3 -ac -noreset -screen 0 3840x2160x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [[ -s "$work/displayfd" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/displayfd" | tr -d '[:space:]')"

# Sound: a private PulseAudio server with a null sink, its socket open to the players' user.
env -u PULSE_SERVER HOME="$work" XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config" \
  pulseaudio -n --daemonize=yes --use-pid-file=yes --exit-idle-time=-1 --disallow-exit \
  --log-target="file:$work/pulse.log" \
  -L "module-null-sink sink_name=kv_bench rate=48000 sink_properties=device.description=PlayerBench" \
  -L "module-native-protocol-unix auth-anonymous=1 socket=$work/pulse-native"
for _ in $(seq 50); do [[ -S "$work/pulse-native" ]] && break; sleep 0.1; done
chmod 777 "$work/pulse-native"
export PULSE_SERVER="unix:$work/pulse-native"

# A private session bus for MPRIS.
mkdir -m 777 "$work/bus"
"${as_user[@]}" dbus-daemon --session --address="unix:path=$work/bus/socket" --fork --print-pid >"$work/dbus.pid"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus/socket"
for _ in $(seq 50); do [[ -S "$work/bus/socket" ]] && break; sleep 0.1; done

# The players' homes, fresh before every start so that every run starts alike (Kavello's
# settings past its first run, no window size remembered from the previous clip).
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_RUNTIME_DIR="$work/home/runtime" QT_QPA_PLATFORM=xcb
fresh_home() {
  [[ -f "$XDG_DATA_HOME/kavello/kavello.log" ]] && cat "$XDG_DATA_HOME/kavello/kavello.log" >>"$work/kavello-own.log"
  rm -rf "$work/home"
  mkdir -p "$work/home/.config/kavello" "$work/home/.local/share" "$work/home/runtime"
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"Version"="2.3.0.0"\r\n' \
    >"$work/home/.config/kavello/user.reg"
  chmod 700 "$work/home/runtime"
  if ((${#as_user[@]})); then chown -R 65534:65534 "$work/home"; fi
}
fresh_home
cd "$work"

# player_cmd PLAYER CLIP MODE: the command line (MODE play: exit at the clip's end; hold: stay).
player_cmd() {
  local player=$1 clip=$2 mode=$3
  case $player in
    kavello) echo "$kavello" $([[ $mode == play ]] && echo --quit-at-end) "$clip" ;;
    mpv) echo mpv --no-config --vo=x11 --ao=pulse --script=/usr/lib/mpv-mpris/mpris.so \
      $([[ $mode == hold ]] && echo --keep-open=yes --input-ipc-server="$work/bus/mpv.sock") "$clip" ;;
    vlc) echo cvlc --no-video-title-show -V x11 -A pulse --control=dbus \
      $([[ $mode == play ]] && echo --play-and-exit) "$clip" ;;
  esac
}
mpris_name() { case $1 in vlc) echo vlc ;; *) echo "$1" ;; esac; }

median() { sort -g | awk '{v[NR]=$1} END {if (!NR) {print "NA"; exit} print (NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2)}'; }
spread() { sort -g | awk '{v[NR]=$1} END {if (NR < 2) {print "NA"; exit}
  m = NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2; printf "%.1f", (m > 0 ? 100*(v[NR]-v[1])/m : 0)}'; }
p95() { sort -g | awk '{v[NR]=$1} END {if (!NR) {print "NA"; exit} i=int(NR*0.95+0.999); if (i>NR) i=NR; print v[i]}'; }

results="$work/results"
: >"$results"
put() { echo "$1 $2 $3" >>"$results"; }  # METRIC PLAYER VALUE

# 1. CPU, peak RSS and drops of 20 s at 1x, alternating players.
part play && for clip in $CLIPS; do
  for run in $(seq "$RUNS"); do
    for player in $PLAYERS; do
      fresh_home
      # shellcheck disable=SC2046
      out=$("$watch" play 60 -- /usr/bin/time -f "%U %S %M" -o "$work/time" "${as_user[@]}" \
        $(player_cmd "$player" "${clipfile[$clip]}" play) 2>>"$work/$player.log") || true
      seen=$(awk '$1 == "frames_seen" {print $2}' <<<"$out")
      read -r u s m < <(tail -1 "$work/time" 2>/dev/null) || true
      [[ $u =~ ^[0-9.]+$ ]] || { u=NA; s=0; m=0; }
      [[ $u == NA ]] || put "cpu_$clip" "$player" "$(awk -v u="$u" -v s="$s" 'BEGIN{printf "%.2f", u+s}')"
      [[ $u == NA ]] || put "rss_$clip" "$player" "$(awk -v m="$m" 'BEGIN{printf "%.0f", m/1024}')"
      [[ -n $seen && $seen -gt 0 && $clip != start ]] && put "drops_$clip" "$player" "$((500 - seen))"
      echo "run $run $clip $player: cpu $u+$s s rss ${m} KiB frames $out" >&2
    done
  done
done

# 2. Start to first frame (1080p clip).
part first && for run in $(seq "$RUNS"); do
  for player in $PLAYERS; do
    fresh_home
    # shellcheck disable=SC2046
    out=$("$watch" first-frame 60 -- "${as_user[@]}" $(player_cmd "$player" hd.mp4 hold) 2>>"$work/$player.log") || true
    v=$(awk '{print $2}' <<<"$out")
    [[ $v != NA && -n $v ]] && put first_ms "$player" "$v"
    echo "first frame $player: $out" >&2
  done
done

# 3. Seeks while playing and while paused (1080p clip). exact: MPRIS SetPosition for every
# player. key: MPRIS Seek for every player, the route of Kavello's seek keys and a key-frame
# seek in mpv too; VLC offers no key-frame seek per command (`off` shows what each did).
# mpv without its MPRIS plug-in gets its JSON IPC "seek T absolute+keyframes" instead.
part seek && for player in $PLAYERS; do
  name=$(mpris_name "$player")
  for kind in exact key; do
    fresh_home
    unset SEEK_CMD SEEK_REL_CMD POS_CMD SEEK_SOCKET
    if [[ $kind == exact ]]; then export SEEK_CMD="${as_user[*]} playerctl -p $name position %s"
    elif [[ $player == mpv && ! -e /usr/lib/mpv-mpris/mpris.so ]]; then export SEEK_SOCKET="$work/bus/mpv.sock" SEEK_CMD='{"command": ["seek", %s, "absolute+keyframes"]}'
    else export SEEK_REL_CMD="${as_user[*]} playerctl -p $name position %s" POS_CMD="${as_user[*]} playerctl -p $name position"; fi
    # shellcheck disable=SC2046
    PAUSE_CMD="${as_user[*]} playerctl -p $name pause" \
      "$watch" seeks $((2 * SEEKS)) 25 20 -- "${as_user[@]}" $(player_cmd "$player" hd.mp4 hold) \
      >"$work/seeks-$kind-$player" 2>>"$work/$player.log" || true
    for state in playing paused; do
      grep "^seek_ms $state " "$work/seeks-$kind-$player" | awk '$3 != "NA" {print $3}' >"$work/s" || true
      put "seek_${kind}_${state}_med_ms" "$player" "$(median <"$work/s" | awk '{if ($1 == "NA") print; else printf "%.0f", $1}')"
      put "seek_${kind}_${state}_p95_ms" "$player" "$(p95 <"$work/s" | awk '{if ($1 == "NA") print; else printf "%.0f", $1}')"
      put "seek_${kind}_${state}_off" "$player" "$(grep "^seek_ms $state " "$work/seeks-$kind-$player" | awk '$3 != "NA" {print $5}' | median)"
      put "seek_${kind}_${state}_failed" "$player" "$(grep -c "^seek_ms $state NA" "$work/seeks-$kind-$player" || true)"
    done
    echo "seeks $kind $player: $(tr '\n' ';' <"$work/seeks-$kind-$player")" >&2
  done
done
unset SEEK_CMD SEEK_REL_CMD POS_CMD SEEK_SOCKET

# 4. A/V offset of the real programs (the beeping clip played to its end), alternating players.
part av && for run in $(seq "$RUNS"); do
  for player in $PLAYERS; do
    fresh_home
    # shellcheck disable=SC2046
    "$watch" av 21 kv_bench 25 -- "${as_user[@]}" $(player_cmd "$player" av.mp4 play) >"$work/av-$run-$player" \
      2>>"$work/$player.log" || true
    for metric in av_med_ms av_worst_ms av_drift_ms_per_s av_step_ms; do
      v=$(awk -v m="$metric" '$1 == m {print $2}' "$work/av-$run-$player")
      [[ -n $v ]] && put "$metric" "$player" "$v"
    done
    echo "av $run $player: $(grep -v '^av_at' "$work/av-$run-$player" | tr '\n' ' ') offsets: $(awk '$1 == "av_at" {printf "%s ", $4}' "$work/av-$run-$player")" >&2
  done
done

# The table: medians per metric and player; ratio = Kavello / the best (lowest) peer.
echo
printf "%-24s %10s %10s %10s %8s\n" metric kavello mpv vlc ratio
awk '{print $1}' "$results" | awk '!seen[$0]++' | while read -r metric; do
  row=()
  for player in kavello mpv vlc; do
    v=$(awk -v m="$metric" -v p="$player" '$1==m && $2==p && $3!="NA" {print $3}' "$results" | median)
    row+=("$v")
  done
  ratio=$(awk -v k="${row[0]}" -v a="${row[1]}" -v b="${row[2]}" -v m="$metric" 'BEGIN {
    best = ""; if (a != "NA") best = a; if (b != "NA" && (best == "" || b + 0 < best + 0)) best = b
    if (m ~ /^av_/) {  # sizes of an error: compared as magnitudes
      k = k < 0 ? -k : k; a = a < 0 ? -a : a; b = b < 0 ? -b : b
      best = ""; if (a != "NA") best = a; if (b != "NA" && (best == "" || b + 0 < best + 0)) best = b }
    if (k == "NA" || best == "" || m ~ /drops|off|failed/ || best + 0 == 0) { print "-"; exit }
    printf "%.2f", k / best }')
  printf "%-24s %10s %10s %10s %8s\n" "$metric" "${row[0]}" "${row[1]}" "${row[2]}" "$ratio"
  if [[ $metric == cpu_* ]]; then
    row=()
    for player in kavello mpv vlc; do
      row+=("$(awk -v m="$metric" -v p="$player" '$1==m && $2==p && $3!="NA" {print $3}' "$results" | spread)")
    done
    printf "%-24s %10s %10s %10s %8s\n" "${metric}_spread_pct" "${row[0]}" "${row[1]}" "${row[2]}" "-"
  fi
done
echo "(cpu_s: user+sys s; rss_mib: peak MiB; *_ms: wall ms, median unless p95; ratio: Kavello / best peer, av_* by magnitude)"
