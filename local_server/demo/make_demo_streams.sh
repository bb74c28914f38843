#!/usr/bin/env bash
# Generates the offline demo channels: short test-pattern MPEG-TS streams with a tone, a PNG logo
# for each, and an EXTM3U playlist that lists them at the local server's address.
#
#   make_demo_streams.sh OUTDIR PORT
#
# Writes OUTDIR/demo/<name>.ts, OUTDIR/demo/logos/<name>.png and OUTDIR/channels.m3u. The channel
# list comes from channels.m3u.in beside this script (@BASE@ stands for http://127.0.0.1:PORT).
# Files newer than this script and the template are left alone, so a rebuild costs nothing. A
# channels.m3u without our marker line was put there by someone else and is never overwritten.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 OUTDIR PORT" >&2
  exit 2
fi
outdir=$1
port=$2
if ! [[ $port =~ ^[0-9]+$ ]] || [ "$port" -lt 1 ] || [ "$port" -gt 65535 ]; then
  echo "$0: PORT must be a number from 1 to 65535, not '$port'" >&2
  exit 2
fi
script=${BASH_SOURCE[0]}
template=$(dirname "$script")/channels.m3u.in
marker="# Demo channels written by make_demo_streams.sh; replace this file with your own list."
base="http://127.0.0.1:$port"
duration=20
size=640x360
rate=25

command -v ffmpeg >/dev/null || { echo "$0: ffmpeg not found" >&2; exit 1; }
[ -r "$template" ] || { echo "$0: missing template $template" >&2; exit 1; }

# Video source and tone per stream name; the template decides which names exist.
source_for() {
  case $1 in
    testcard)   echo "testsrc2=size=$size:rate=$rate 440" ;;
    colourbars) echo "smptehdbars=size=$size:rate=$rate 1000" ;;
    mandelbrot) echo "mandelbrot=size=$size:rate=$rate 330" ;;
    rgbtest)    echo "rgbtestsrc=size=$size:rate=$rate 550" ;;
    life)       echo "life=size=$size:rate=$rate:seed=42:ratio=0.1:mold=10:life_color=#00FF00:death_color=#C83232 660" ;;
    *) return 1 ;;
  esac
}

# Fresh = exists and newer than everything it is made from.
fresh() { [ -s "$1" ] && [ "$1" -nt "$script" ] && [ "$1" -nt "$template" ]; }

tmpfiles=()
cleanup() { [ ${#tmpfiles[@]} -eq 0 ] || rm -f "${tmpfiles[@]}"; }
trap cleanup EXIT

# Listings are captured first: grep -q quitting early would fail the pipeline under pipefail.
encoders=$(ffmpeg -hide_banner -encoders 2>/dev/null || true)
filters=$(ffmpeg -hide_banner -filters 2>/dev/null || true)
if grep -q ' libx264 ' <<<"$encoders"; then
  codec=(-c:v libx264 -preset veryfast -profile:v main -b:v 300k -maxrate 400k -bufsize 800k
         -g 50 -keyint_min 50 -sc_threshold 0 -c:a aac -b:a 64k)
else
  codec=(-c:v mpeg2video -b:v 600k -maxrate 800k -bufsize 1000k -g 25 -c:a mp2 -b:a 96k)
fi

# Title and running clock burnt in when drawtext and a font are there; plain pattern otherwise.
font=""
if grep -q ' drawtext ' <<<"$filters"; then
  font=$(fc-match -f '%{file}' 'DejaVu Sans:bold' 2>/dev/null || true)
  [ -r "$font" ] || font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
  [ -r "$font" ] || font=""
fi
overlay() {
  [ -n "$font" ] || return 0
  local title=${1//\'/}
  title=${title//:/\\:}
  printf ",drawtext=fontfile=%s:text='%s':x=16:y=16:fontsize=28:fontcolor=white:box=1:boxcolor=black@0.6:boxborderw=8" "$font" "$title"
  printf ",drawtext=fontfile=%s:text='%%{pts\\:hms}':x=w-tw-16:y=h-th-16:fontsize=22:fontcolor=white:box=1:boxcolor=black@0.6:boxborderw=6" "$font"
}

mkdir -p "$outdir/demo/logos"
playlist=$(sed "s|@BASE@|$base|g" "$template" | awk -v marker="$marker" 'NR == 1 {print; print marker; next} {print}')
names=$(printf '%s\n' "$playlist" | sed -n "s|^$base/demo/\([A-Za-z0-9_-]*\)\.ts\$|\1|p")
[ -n "$names" ] || { echo "$0: no demo streams listed in $template" >&2; exit 1; }

for name in $names; do
  generator=$(source_for "$name") || { echo "$0: no generator for '$name' in $template" >&2; exit 1; }
  video=${generator% *}
  tone=${generator##* }
  title=$(printf '%s\n' "$playlist" | grep -B1 -x "$base/demo/$name.ts" | head -1 | sed 's/^#EXTINF:[^,]*,//')
  ts="$outdir/demo/$name.ts"
  logo="$outdir/demo/logos/$name.png"

  if ! fresh "$ts"; then
    echo "generating $ts"
    tmp="$outdir/demo/.$name.ts.tmp"
    tmpfiles+=("$tmp")
    ffmpeg -nostdin -hide_banner -loglevel error -y \
      -f lavfi -i "$video" -f lavfi -i "sine=frequency=$tone:sample_rate=48000:beep_factor=2" \
      -t "$duration" -map 0:v -map 1:a -vf "format=yuv420p$(overlay "$title")" \
      "${codec[@]}" -ac 2 -ar 48000 -fflags +bitexact -flags +bitexact \
      -metadata service_name="$title" -metadata service_provider="Zephra Demo" \
      -f mpegts "$tmp"
    mv -f "$tmp" "$ts"
  fi
  if ! fresh "$logo"; then
    echo "generating $logo"
    tmp="$outdir/demo/logos/.$name.png.tmp"
    tmpfiles+=("$tmp")
    # The pattern's first frame, small: recognisable and needs no font.
    ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "$video" -frames:v 1 \
      -vf scale=160:90 -flags +bitexact -f image2 -c:v png "$tmp"
    mv -f "$tmp" "$logo"
  fi
done

m3u="$outdir/channels.m3u"
if [ -e "$m3u" ] && ! grep -qxF "$marker" "$m3u"; then
  echo "keeping $m3u: not written by this script"
elif [ ! -e "$m3u" ] || [ "$(cat "$m3u")" != "$playlist" ]; then
  echo "writing $m3u"
  tmp="$outdir/.channels.m3u.tmp"
  tmpfiles+=("$tmp")
  printf '%s\n' "$playlist" > "$tmp"
  mv -f "$tmp" "$m3u"
fi
