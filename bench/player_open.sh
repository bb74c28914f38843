#!/bin/sh
# Opening time of the media player for a loopback MPEG-TS: set address -> media change and
# -> first frame ("Playing"), first open and channel switches, with the default video output
# (GPU, else X11) and with the null output for comparison.
#
# Usage: bench/player_open.sh [build folder] [rounds]     (default: build, 15 rounds)
# Runs under its own Xvfb when DISPLAY is not set.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
program=zephra_player_open_bench default_count=15
. "$here/player_bench_lib.sh"
rounds=$count

ffmpeg -hide_banner -loglevel error -y \
  -f lavfi -i testsrc=size=640x360:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 \
  -t 10 -c:v mpeg2video -b:v 1500k -c:a mp2 -b:a 128k -f mpegts "$work/clip.ts"

echo "== default video output"
"$bench" "$work/clip.ts" "$rounds" "" 2>/dev/null
echo "== null video output"
"$bench" "$work/clip.ts" "$rounds" null 2>/dev/null
if command -v mpv >/dev/null 2>&1; then
  echo "== mpv command line, whole run to the first frame (process start included)"
  start=$(date +%s%N)
  mpv --no-config --really-quiet --ao=null --vo=null --frames=1 "$work/clip.ts" >/dev/null 2>&1 || true
  echo "one run: $(( ($(date +%s%N) - start) / 1000000 )) ms"
else
  echo "(mpv command line not installed: no comparison)"
fi
