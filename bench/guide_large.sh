#!/usr/bin/env bash
# A guide as large as real ones get (hundreds of channels for two weeks, 1 GiB), imported by the
# running server, each figure with its reference measured in this run:
#   - import time, against the same file only read (zephra_guide_bench read);
#   - the server's peak memory growth during the import, against its resident memory before;
#   - query.php and guide.php (first page, 2,000 channels all in the guide) while the import
#     runs, median, against the same pages before it.
# Quick by default (64 MiB, 192 channels); bench/run_all.sh runs the full size. Prints figures;
# it is not a test. With GUIDE_LARGE_SUMMARY=1 prints one line for run_all.sh instead:
#   MIB IMPORT_S READ_S RATIO GROWTH_MIB RSS_MIB RATIO QUERY_S QUERY_REF_S RATIO GRID_S GRID_REF_S RATIO
#
#   bench/guide_large.sh [BUILD_DIR] [MEGABYTES]   (default: build-bench beside this folder, 64)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
megabytes=${2:-64}
. "$here/server_bench_lib.sh" "${1:-}" 11
bench_build zephra_server zephra_guide_bench
bench="$build_dir/bench/zephra_guide_bench"
channels=$(( megabytes * 3 ))  # about 1.5 kB a programme, 16 a day

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
status_kb() { awk -v f="$2:" '$1 == f { print $2 }' "/proc/$1/status"; }
median_of() { sort -n | awk '{ a[NR] = $1 } END { print (NR ? a[int((NR + 1) / 2)] : 0) }'; }

guide="$work/guide.xml"
"$bench" generate "$guide" "$channels" 14 "$megabytes" >/dev/null
read -r _ read_seconds < <("$bench" read "$guide")

make_playlist 2000 "$docroot/channels.m3u"
start_server
curl -s -o /dev/null "$base/query.php?code=bench&fav=0"  # parses the playlist
query_ref=$(median 'query.php?code=bench&fav=0')
grid_ref=$(median 'guide.php?code=bench&fav=0')

rss_kb=$(status_kb "$server_pid" VmRSS)
echo 5 > "/proc/$server_pid/clear_refs"  # the peak starts again from here
start=$(date +%s.%N)
mv "$guide" "$docroot/guide.xml"  # one rename: the server sees the whole file at once
: > "$work/query" ; : > "$work/grid"
while ! grep -q "guide .*programmes\|guide not read" "$work/err"; do
  curl -s -o /dev/null -w '%{time_total}\n' "$base/query.php?code=bench&fav=0" >> "$work/query"
  curl -s -o /dev/null -w '%{time_total}\n' "$base/guide.php?code=bench&fav=0" >> "$work/grid"
done
import_seconds=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }')
grep -q "guide not read" "$work/err" && { echo "the guide was refused:" >&2; cat "$work/err" >&2; exit 1; }
peak_kb=$(status_kb "$server_pid" VmHWM)
growth=$(awk -v p="$peak_kb" -v r="$rss_kb" 'BEGIN { printf "%.1f", (p - r) / 1024 }')
rss=$(awk -v r="$rss_kb" 'BEGIN { printf "%.1f", r / 1024 }')
query_during=$(median_of < "$work/query")
grid_during=$(median_of < "$work/grid")

if [ "${GUIDE_LARGE_SUMMARY:-}" = 1 ]; then
  echo "$megabytes $import_seconds $read_seconds $(ratio "$import_seconds" "$read_seconds")" \
    "$growth $rss $(ratio "$growth" "$rss") $query_during $query_ref $(ratio "$query_during" "$query_ref")" \
    "$grid_during $grid_ref $(ratio "$grid_during" "$grid_ref")"
  exit 0
fi
row() { printf '  %-52s %10s %s\n' "$1" "$2" "${3:-}"; }
echo "large guide benchmark ($build_type, $(uname -m)): $megabytes MiB, $channels channels x 14 days"
row "import by the server" "$import_seconds" "s   $(ratio "$import_seconds" "$read_seconds") x the reference"
row "  reference: the same file only read" "$read_seconds" "s"
row "peak memory growth during the import" "$growth" "MiB   $(ratio "$growth" "$rss") x the reference"
row "  reference: server resident memory before it" "$rss" "MiB"
row "query.php during the import ($(wc -l < "$work/query") requests), median" "$query_during" "s   $(ratio "$query_during" "$query_ref") x"
row "  reference: the same page before the import" "$query_ref" "s"
row "guide.php during the import, median" "$grid_during" "s   $(ratio "$grid_during" "$grid_ref") x"
row "  reference: the same page before the import" "$grid_ref" "s"
