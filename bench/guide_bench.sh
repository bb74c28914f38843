#!/usr/bin/env bash
# Programme guide figures against their targets, each with its reference measured in this run:
#   - import of a generated 100 MB XMLTV guide (2,000 channels x 7 days): programmes stored per
#     second (target >= 100,000; reference: the same file only read) and peak memory growth
#     during the import (target <= 100 MB; reference: resident memory before it);
#   - query.php first page of a 50,000-channel list with now and next (the page's 200 channels all
#     in the guide) against the same page before the guide was there (target <= 1.2x), and the
#     first view of pages whose now and next are not cached yet;
#   - guide.php for 200 channels x 6 hours (target <= 50 ms server time).
# Page times are medians of the whole request over loopback, which bound the server time from
# above. Prints figures; it is not a test.
#
#   bench/guide_bench.sh [BUILD_DIR] [REQUESTS]   (default: build-bench beside this folder, 21)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/server_bench_lib.sh" "$@"
channels=50000
bench_build zephra_server zephra_guide_bench
bench="$build_dir/bench/zephra_guide_bench"

row() { printf '  %-58s %12s %s\n' "$1" "$2" "${3:-}"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

# --- import ---------------------------------------------------------------------------------
guide="$work/guide.xml"
generated=$("$bench" generate "$guide" 2000 7 108)
size_mb=$(awk -v b="$(stat -c %s "$guide")" 'BEGIN { printf "%.1f", b / 1000000 }')
read -r gchannels stored seconds rss_kb peak_kb read_count read_seconds \
  < <("$bench" import "$guide" "$work/import.sqlite3")
rate=$(awk -v n="$stored" -v s="$seconds" 'BEGIN { printf "%.0f", n / s }')
read_rate=$(awk -v n="$read_count" -v s="$read_seconds" 'BEGIN { printf "%.0f", n / s }')
growth=$(awk -v p="$peak_kb" -v r="$rss_kb" 'BEGIN { printf "%.1f", (p - r) / 1024 }')

echo "programme guide benchmark ($build_type, $(uname -m))"
echo "import of a generated guide: $size_mb MB, $gchannels channels x 7 days, $generated programmes"
row "import time" "$seconds" "s   ($stored programmes stored; those over for 6 h are not)"
row "import rate" "$rate" "programmes/s   target >= 100000"
row "  reference: the same file only read" "$read_rate" "programmes/s   (import = $(ratio "$rate" "$read_rate") x)"
row "peak memory growth during the import" "$growth" "MiB   target <= 100"
row "  reference: resident memory before the import" "$(awk -v r="$rss_kb" 'BEGIN { printf "%.1f", r / 1024 }')" "MiB"

# --- pages ----------------------------------------------------------------------------------
# As bench/server_bench.sh: the first 2,000 channels (the first pages) have guide data, the rest
# none.
make_playlist "$channels" "$docroot/channels.m3u"
start_server

# Each of pages 2-10 once: with the guide that is their first view, when nothing is cached yet.
once() {
  for page in 2 3 4 5 6 7 8 9 10; do
    curl -s -o /dev/null -w '%{time_total}\n' "$base/query.php?code=bench&fav=0&page=$page"
  done | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'
}

curl -s -o /dev/null "$base/query.php?code=bench&fav=0"  # parses the playlist
without=$(median 'query.php?code=bench&fav=0')
without_first=$(once)
without_p5=$(median 'query.php?code=bench&fav=0&page=5')

cp "$guide" "$docroot/guide.xml"
for _ in $(seq 1 1200); do
  grep -q "guide .*programmes" "$work/err" && break
  sleep 0.05
done
grep -q "guide .*programmes" "$work/err" || { echo "the guide was not imported:" >&2; cat "$work/err" >&2; exit 1; }
with_first=$(once)
lines=$(curl -s "$base/query.php?code=bench&fav=0" | grep -o 'class="epg"' | wc -l)
with=$(median 'query.php?code=bench&fav=0')
with_p5=$(median 'query.php?code=bench&fav=0&page=5')
grid_rows=$(curl -s "$base/guide.php?code=bench&fav=0" | grep -o 'class="play cname"' | wc -l)
grid_progs=$(curl -s "$base/guide.php?code=bench&fav=0" | grep -o 'class="prog' | wc -l)
grid=$(median 'guide.php?code=bench&fav=0')
grid_none=$(median 'guide.php?code=bench&fav=0&page=20')

echo
echo "pages with a $channels-channel list, median of $requests requests"
row "query.php first page without the guide (reference)" "$without" "s"
row "query.php first page with now/next ($lines rows with guide data)" "$with" "s   $(ratio "$with" "$without") x   target <= 1.2 x"
row "query.php pages 2-10 once each without the guide (reference)" "$without_first" "s"
row "query.php pages 2-10 once each, first view with now/next" "$with_first" "s   $(ratio "$with_first" "$without_first") x"
row "query.php page 5 without the guide (reference)" "$without_p5" "s"
row "query.php page 5 with now/next" "$with_p5" "s   $(ratio "$with_p5" "$without_p5") x   target <= 1.2 x"
row "guide.php $grid_rows channels x 6 hours ($grid_progs programmes)" "$grid" "s   target <= 0.050 s"
row "  reference: guide.php page 20 (channels without guide data)" "$grid_none" "s"
row "server resident memory with list and guide" "$(server_rss_mib)" "MiB"
