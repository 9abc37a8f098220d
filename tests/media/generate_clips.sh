#!/usr/bin/env bash
# Generates the filter tests' media with the ffmpeg command-line tool.
#
# usage: generate_clips.sh OUTDIR
#
# For every clip NAME.EXT it writes:
#   NAME.EXT          a few seconds of synthetic picture and tone
#   NAME.trunc.EXT    the first 55 % of its bytes
#   NAME.flip.EXT     a copy with a byte flipped every few kilobytes past the header
#   NAME.counts       what ffprobe decodes from it: "video FRAMES" and "audio SAMPLES RATE CHANNELS"
# and OUTDIR/clips.list, one "NAME.EXT" a line. Nothing is regenerated when clips.list is
# newer than this script.
set -euo pipefail

out=${1:?usage: generate_clips.sh OUTDIR}
script=$(realpath "${BASH_SOURCE[0]}")
mkdir -p "$out"
cd "$out"
if [[ -f clips.list && clips.list -nt "$script" ]]; then
  exit 0
fi
rm -f clips.list.tmp

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# Small synthetic sources: 2 s of moving test pattern and a tone.
V="-f lavfi -i testsrc2=size=176x144:rate=25:duration=2"
A="-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2"
A48="-f lavfi -i sine=frequency=660:sample_rate=48000:duration=2"
GOP="-g 12"

make_counts() {
  local clip=$1 name=$2
  : > "$name.counts"
  local v
  v=$(ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$clip" | grep -m1 . || true)
  if [[ -n "$v" ]]; then echo "video ${v%%,*}" >> "$name.counts"; fi
  local info
  info=$(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels -of csv=p=0 "$clip" | grep -m1 . || true)
  if [[ -n "$info" ]]; then
    local samples
    samples=$(ffprobe -v error -select_streams a:0 -show_entries frame=nb_samples -of csv=p=0 "$clip" \
      | awk -F, '{ s += $1 } END { print s + 0 }')
    echo "audio $samples ${info//,/ }" >> "$name.counts"
  fi
}

# A byte XOR 0x5A at 24 evenly spread positions between 10 % and 95 % of the file.
flip_bytes() {
  local src=$1 dst=$2
  cp "$src" "$dst"
  local size
  size=$(stat -c %s "$src")
  for k in $(seq 0 23); do
    local pos=$(( size / 10 + (size * 85 / 100) * k / 24 ))
    local byte
    byte=$(od -An -tu1 -j "$pos" -N1 "$src" | tr -d ' ')
    printf "\\x$(printf %02x $(( byte ^ 0x5A )))" | dd of="$dst" bs=1 seek="$pos" conv=notrunc status=none
  done
}

clip() {
  local file=$1; shift
  local name=${file%.*} ext=${file##*.}
  ff "$@" "$file"
  make_counts "$file" "$name"
  local size
  size=$(stat -c %s "$file")
  head -c $(( size * 55 / 100 )) "$file" > "$name.trunc.$ext"
  flip_bytes "$file" "$name.flip.$ext"
  echo "$file" >> clips.list.tmp
}

# AVI
clip avi_mpeg4_mp3.avi $V $A -c:v mpeg4 -vtag XVID $GOP -q:v 4 -c:a libmp3lame -b:a 64k -ac 1
clip avi_mjpeg_pcm.avi $V $A -c:v mjpeg -q:v 5 -c:a pcm_s16le -ac 2
clip avi_dv_pcm.avi -f lavfi -i testsrc2=size=720x576:rate=25:duration=1 $A48 -shortest \
  -c:v dvvideo -pix_fmt yuv420p -vtag dvsd -c:a pcm_s16le -ac 2
clip avi_h264_ac3.avi $V $A48 -c:v libx264 -preset ultrafast -bf 0 $GOP -c:a ac3 -b:a 96k
# MPEG-1 system stream, MPEG-2 program stream
clip mpeg1_mp2.mpg $V $A -c:v mpeg1video $GOP -b:v 400k -c:a mp2 -b:a 128k -f mpeg
clip mpeg2_ac3.vob $V $A48 -c:v mpeg2video $GOP -b:v 600k -c:a ac3 -b:a 128k -f vob
clip mpeg2_lpcm.vob $V $A48 -c:v mpeg2video $GOP -b:v 600k -c:a pcm_dvd -ac 2 -f vob
# MPEG audio elementary stream
clip audio_mp3.mp3 $A -c:a libmp3lame -b:a 96k
# Matroska / WebM
clip mkv_h264_aac.mkv $V $A -c:v libx264 -preset ultrafast $GOP -c:a aac -b:a 64k
clip mkv_hevc_flac.mkv $V $A -c:v libx265 -preset ultrafast -x265-params log-level=error:keyint=12 \
  -c:a flac
clip mkv_av1_eac3.mkv $V $A48 -c:v libaom-av1 -cpu-used 8 -b:v 200k $GOP -c:a eac3 -b:a 96k
clip webm_vp8_vorbis.webm $V $A -c:v libvpx -deadline realtime -cpu-used 8 $GOP -b:v 300k -c:a libvorbis -q:a 2
clip webm_vp9_opus.webm $V $A48 -c:v libvpx-vp9 -deadline realtime -cpu-used 8 $GOP -b:v 300k -c:a libopus -b:a 64k
# Ogg
clip ogg_theora_vorbis.ogv $V $A -c:v libtheora $GOP -q:v 5 -c:a libvorbis -q:a 2
clip ogg_opus.opus $A48 -c:a libopus -b:a 48k
clip ogg_flac.oga $A -c:a flac
# WAV
clip wav_pcm.wav $A -c:a pcm_s16le -ac 2
clip wav_adpcm.wav $A -c:a adpcm_ms -ac 1
# MP4 / MOV
clip mp4_h264_aac.mp4 $V $A -c:v libx264 -preset ultrafast $GOP -c:a aac -b:a 64k
clip mov_mpeg4_pcm.mov $V $A -c:v mpeg4 $GOP -q:v 4 -c:a pcm_s16le
# MPEG transport stream
clip ts_h264_ac3.ts $V $A48 -c:v libx264 -preset ultrafast $GOP -c:a ac3 -b:a 96k
clip ts_mpeg2_mp2.ts $V $A48 -c:v mpeg2video $GOP -b:v 600k -c:a mp2 -b:a 128k
clip m2ts_h264_lpcm.m2ts $V $A48 -c:v libx264 -preset ultrafast $GOP -c:a pcm_bluray -ac 2 -mpegts_m2ts_mode 1 -f mpegts
# ASF / Windows Media
clip asf_wmv2_wma2.wmv $V $A -c:v wmv2 $GOP -b:v 300k -c:a wmav2 -b:a 64k
clip asf_wmv1_wma1.asf $V $A -c:v wmv1 $GOP -b:v 300k -c:a wmav1 -b:a 64k

mv clips.list.tmp clips.list
