#!/bin/sh
# Generates what the live origin serves: two looping MPEG-TS channels (720p, about 3 Mbit/s,
# H.264 with keyframes every 1 s and every 4 s, MPEG audio) and a three-variant HLS channel in
# 2 s segments (1080p about 6 Mbit/s, 720p about 3, 360p about 0.8). Twelve seconds each: the
# origin loops them. Constant bit rate (x264's HRD filler), so that a variant weighs what its
# name says even on a test pattern.
#
#   make_live_content.sh OUTDIR
#
# Writes OUTDIR/ts/gop1.ts, OUTDIR/ts/gop4.ts and OUTDIR/hls/<height>/seg_NNN.ts with their
# OUTDIR/hls/<height>/index.m3u8; returns at once when they are newer than this script.
set -eu

[ $# -eq 1 ] || { echo "usage: $0 OUTDIR" >&2; exit 2; }
out=$1
script=$0
command -v ffmpeg >/dev/null || { echo "$0: ffmpeg not found" >&2; exit 1; }
stamp="$out/.complete"
if [ -f "$stamp" ] && [ "$stamp" -nt "$script" ]; then exit 0; fi
rm -rf "$out"
mkdir -p "$out/ts" "$out/hls"

seconds=12
rate=25
# Picture and tone; "-t" on the inputs keeps both exactly $seconds long.
input() {
  echo "-f lavfi -t $seconds -i testsrc2=size=$1:rate=$rate -f lavfi -t $seconds -i sine=frequency=440:sample_rate=48000"
}
# Constant bit rate x264 with a fixed keyframe interval (frames) and no scene-cut keyframes.
video() {
  echo "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -b:v $1 -minrate $1 -maxrate $1 -bufsize $2" \
       "-x264-params nal-hrd=cbr -g $3 -keyint_min $3 -sc_threshold 0"
}
run() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

# MPEG audio frames (24 ms) fit the 12 s loop exactly, so the origin can carry time on across
# loops. One audio frame per PES packet, as broadcasters send it.
for gop in 1 4; do
  # shellcheck disable=SC2046
  run $(input 1280x720) $(video 3M 1M $((gop * rate))) -c:a mp2 -b:a 128k -f mpegts -pes_payload_size 0 \
    "$out/ts/gop$gop.ts"
done

hls() {  # height size bitrate buffer
  mkdir -p "$out/hls/$1"
  # shellcheck disable=SC2046
  run $(input "$2") $(video "$3" "$4" $((2 * rate))) -c:a aac -b:a 128k \
    -f hls -hls_time 2 -hls_list_size 0 -hls_segment_filename "$out/hls/$1/seg_%03d.ts" "$out/hls/$1/index.m3u8"
}
hls 1080 1920x1080 6M 3M
hls 720 1280x720 3M 1500k
hls 360 640x360 800k 400k
touch "$stamp"
