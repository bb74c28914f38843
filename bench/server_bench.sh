#!/usr/bin/env bash
# Local server figures: start-up with 10,000 / 50,000 / 200,000 channels (process start to
# listening, and to the first directory page that shows the list: the list is read beside the
# listening server), then with a 50,000-channel playlist the server time for the first screen of
# the channel directory (target: at most 0.3 s), a few other pages, resident memory with that
# list loaded, then the playlist parse rate (bench/playlist_parse.sh, target: at least 1,000,000
# lines per second). Prints figures; it is not a test.
#
#   bench/server_bench.sh [BUILD_DIR] [REQUESTS]   (default: build-bench beside this folder, 21)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/server_bench_lib.sh" "$@"
channels=50000
bench_build zephra_server

now() { date +%s.%N; }
# Seconds from the server's start to its "listening" line, and to the first directory page that
# lists channels (until then it answers a loading notice).
startup_times() {
  rm -rf "$work/data"
  local t0 listening="" loaded="" p=""
  t0=$(now)
  "$server" --port 0 --root "$work/lib" --data "$work/data" --no-window > "$work/out" 2>"$work/err" &
  server_pid=$!
  for _ in $(seq 1 2000); do
    p=$(sed -n 's/^listening on 127\.0\.0\.1://p' "$work/out")
    [ -n "$p" ] && { listening=$(now); break; }
    sleep 0.002
  done
  [ -n "$p" ] || { echo "the server did not start:" >&2; cat "$work/err" >&2; exit 1; }
  for _ in $(seq 1 5000); do
    if curl -s "http://127.0.0.1:$p/query.php?code=bench&fav=0" | grep -q 'class="play"'; then loaded=$(now); break; fi
  done
  kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=""
  awk -v a="$t0" -v b="$listening" -v c="$loaded" 'BEGIN { printf "%.3f ", b - a; if (c == "") printf "not-listed"; else printf "%.3f", c - a }'
}

echo "local server start-up (process start to listening / to the first page listing channels), s"
for n in 10000 50000 200000; do
  make_playlist "$n" "$docroot/channels.m3u"
  printf '  %-56s %s\n' "$n channels" "$(startup_times)"
done
echo

make_playlist "$channels" "$docroot/channels.m3u"
lines=$(wc -l < "$docroot/channels.m3u")

start_server

# The list is read beside the listening server: wait until the directory lists it.
for _ in $(seq 1 5000); do
  curl -s "$base/query.php?code=bench&fav=0" | grep -q 'class="play"' && break
done
first=$(curl -s -o /dev/null -w '%{time_total}' "$base/query.php?code=bench&fav=0")

# 200 favorites by stream address (ids are opaque; the addresses are known).
for i in $(seq 1 250 50000); do
  curl -s -o /dev/null "$base/valid.php?cmd=addFav&code=bench&method=URL&value=http://streams.example/live/$i/index.m3u8?token=abc$i&q=hd"
done
favorites=$(curl -s "$base/favmanage.php?user=bench" | { grep -o 'class="play"' || true; } | wc -l)

page_bytes=$(curl -s "$base/query.php?code=bench&fav=0" | wc -c)
echo "local server benchmark ($build_type, $(uname -m)), $channels channels ($lines playlist lines), $requests requests each"
row() { printf '  %-56s %9s %s\n' "$1" "$2" "${3:-}"; }
row "first request once the list is loaded" "$first" "s"
row "query.php first screen (200 rows, $page_bytes bytes), median" \
  "$(median 'query.php?code=bench&fav=0')" "s   target <= 0.300 s"
row "query.php last page, median" "$(median 'query.php?code=bench&fav=0&page=250')" "s"
row "query.php search \"channel 4999\", median" "$(median 'query.php?code=bench&fav=0&q=channel%204999')" "s"
row "query.php one group, median" "$(median 'query.php?code=bench&fav=0&group=Group%207')" "s"
row "query.php favorites only ($favorites favorites), median" "$(median 'query.php?code=bench&fav=1')" "s"
row "valid.php add by stream address, median" \
  "$(median 'valid.php?cmd=addFav&code=bench2&method=URL&value=http://streams.example/live/7/index.m3u8?token=abc7&q=hd')" "s"
row "resident memory with the playlist loaded" "$(server_rss_mib)" "MiB"

if [ -x "$here/playlist_parse.sh" ] || [ -f "$here/playlist_parse.sh" ]; then
  echo
  bash "$here/playlist_parse.sh" "$build_dir"
fi
