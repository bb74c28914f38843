#!/usr/bin/env bash
# Memory of the local server with one huge provider playlist as a source: the peak once the list
# is shown, and the peak after another list changed (the merged directory is built again), each
# against the playlist file's size (target: at most 2 times the file). The list has the shortest
# entries a provider sends (1,500,000 channels are about 100 MB), so the cost per channel counts
# most; past the channel limit of one source the rest is left out, with a notice. Also the time
# of the first directory page. Prints figures; it is not a test.
#
#   bench/source_memory.sh [BUILD_DIR] [CHANNELS]   (default: build-bench, 1500000; 50000 is quick)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
channels=${2:-1500000}
. "$here/server_bench_lib.sh" "${1:-}"
bench_build zephra_server
command -v sqlite3 >/dev/null || { echo "needs the sqlite3 program" >&2; exit 1; }

list="$work/provider.m3u"
awk -v n="$channels" 'BEGIN {
  print "#EXTM3U"
  for (i = 1; i <= n; i++) printf "#EXTINF:-1 group-title=\"G%d\",Channel %d\nhttp://p.example/live/%d.ts\n", i % 50, i, i
}' > "$list"
file_bytes=$(stat -c %s "$list")
printf '#EXTM3U\n#EXTINF:-1,Built In\nhttp://s.example/b.ts\n' > "$docroot/channels.m3u"

# A first start makes the data folder; the source is then added as the sources page would.
start_server
kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=""
sqlite3 "$work/data/sources.sqlite3" \
  "INSERT INTO sources (kind, name, location) VALUES ('playlist', 'Provider', '$list')"

count() { curl -s "$base/query.php?code=bench&fav=0" | sed -n 's/.*<p class="count">\([0-9]*\) channel.*/\1/p'; }
wait_count_above() {
  for _ in $(seq 1 6000); do
    local n; n=$(count)
    [ -n "$n" ] && [ "$n" -gt "$1" ] && { echo "$n"; return; }
    sleep 0.05
  done
  echo "the list did not show up" >&2; exit 1
}
peak_mib() { awk '/^VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$server_pid/status"; }

t0=$(date +%s.%N)
start_server
shown=$(wait_count_above 1)
t1=$(date +%s.%N)
first=$(curl -s -o /dev/null -w '%{time_total}' "$base/query.php?code=bench&fav=0")
peak_load=$(peak_mib)

# Another list changes: the directory is merged again beside the big one.
printf '#EXTM3U\n#EXTINF:-1,Built In\nhttp://s.example/b.ts\n#EXTINF:-1,Second\nhttp://s.example/c.ts\n' \
  > "$docroot/channels.m3u"
wait_count_above "$shown" >/dev/null
peak_merge=$(peak_mib)
notice=$(curl -s "$base/sources.php?code=bench" | grep -o 'Only the first [0-9,]* channels are listed: [0-9,]* more w[a-z]* left out' || echo "no limit reached")

file_mib=$(awk -v b="$file_bytes" 'BEGIN { printf "%.1f", b / 1048576 }')
ratio() { awk -v a="$1" -v b="$file_mib" 'BEGIN { printf "%.2f", a / b }'; }
echo "provider list as a source ($build_type, $(uname -m)): $channels channels, $file_mib MiB file, $shown channels shown"
echo "  ($notice)"
row() { printf '  %-52s %9s %s\n' "$1" "$2" "${3:-}"; }
row "start to the list shown" "$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')" "s"
row "query.php first screen once shown" "$first" "s"
row "peak memory, list shown (reference: file size)" "$peak_load" "MiB  ratio $(ratio "$peak_load")  target <= 2"
row "peak memory, after another list changed" "$peak_merge" "MiB  ratio $(ratio "$peak_merge")  target <= 2"
