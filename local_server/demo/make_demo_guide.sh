#!/usr/bin/env bash
# Writes OUTDIR/guide.xml: a small generated programme guide for the demo channels (their tvg-ids
# in channels.m3u.in beside this script), from yesterday for eight days, so the directory's now
# and next line and the guide grid work offline. Written again when older than a day; a
# guide.xml without our marker was put there by someone else and is never overwritten.
#
#   make_demo_guide.sh OUTDIR
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 OUTDIR" >&2
  exit 2
fi
outdir=$1
script=${BASH_SOURCE[0]}
template=$(dirname "$script")/channels.m3u.in
marker="<!-- Demo guide written by make_demo_guide.sh; replace this file with your own guide. -->"
guide="$outdir/guide.xml"

[ -r "$template" ] || { echo "$0: missing template $template" >&2; exit 1; }
if [ -e "$guide" ] && ! grep -qxF "$marker" "$guide"; then
  echo "keeping $guide: not written by this script"
  exit 0
fi
if [ -s "$guide" ] && [ "$guide" -nt "$script" ] && [ "$guide" -nt "$template" ] &&
   [ -z "$(find "$guide" -mmin +1440)" ]; then
  exit 0
fi

export TZ=UTC
now=$(printf '%(%s)T' -1)
first=$(( now - now % 86400 - 86400 ))
last=$(( first + 8 * 86400 ))
shows=("Morning Patterns" "Signal Check" "The Colour Hour" "Test Card Classics" "Noise and Tone"
       "Late Calibration" "Pixels Tonight" "Weekend Bars")

mkdir -p "$outdir"
tmp="$outdir/.guide.xml.tmp"
trap 'rm -f "$tmp"' EXIT
{
  echo '<?xml version="1.0" encoding="UTF-8"?>'
  echo "$marker"
  echo '<tv generator-info-name="make_demo_guide.sh">'
  ids=()
  while IFS='|' read -r id name; do
    ids+=("$id")
    printf '  <channel id="%s"><display-name>%s</display-name></channel>\n' "$id" "$name"
  done < <(sed -n 's/^#EXTINF:.*tvg-id="\([^"]*\)".*,\(.*\)$/\1|\2/p' "$template")
  n=0
  for id in "${ids[@]}"; do
    n=$(( n + 1 ))
    t=$first
    slot=0
    while [ "$t" -lt "$last" ]; do
      # Half-hour and hour slots, different per channel.
      length=$(( (slot + n) % 3 == 0 ? 3600 : 1800 ))
      title=${shows[$(( (slot * 3 + n) % ${#shows[@]} ))]}
      printf '  <programme start="%(%Y%m%d%H%M%S)T +0000" ' "$t"
      printf 'stop="%(%Y%m%d%H%M%S)T +0000" channel="%s">' $(( t + length )) "$id"
      printf '<title>%s</title><sub-title>Part %d</sub-title>' "$title" $(( slot % 5 + 1 ))
      printf '<desc>A demo programme on channel %d: test patterns and tones, generated offline.</desc>' "$n"
      printf '<category>Demo</category></programme>\n'
      t=$(( t + length ))
      slot=$(( slot + 1 ))
    done
  done
  echo '</tv>'
} > "$tmp"
mv -f "$tmp" "$guide"
echo "writing $guide"
