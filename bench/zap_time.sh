#!/bin/sh
# Zap time on the demo channels: from the DOM click on a channel link in the directory page of
# the real main window to the player's MediaChange and to its first frame, each zap paired with
# the engine's floor measured right after it in the same process (bare libmpv with the player's
# settings in an existing window, loadfile -> first frame). Prints min / median / max of both and
# the median of the pair ratios (ours / engine). Also the first play after start (the engine
# starts at the first play), from the click to its first frame, beside the warm zaps of the same
# process: the bench runs STARTS times (the first with ROUNDS rounds, the others with one).
#
# Usage: bench/zap_time.sh [build folder] [rounds] [starts]     (default: build, 4 rounds of 5
# channels, 3 starts)
# Needs the targets zephra_zap_bench, zephra_server and the demo content built. Runs under its
# own Xvfb when DISPLAY is not set. With ZAP_SUMMARY=1 prints one line
# "ours engine ratio zaps lost first first_ratio".
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
rounds=${2:-4}
starts=${3:-3}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$rounds" "$starts"
fi
bench="$build/bench/zephra_zap_bench"
app="$build/app"
[ -x "$bench" ] || { echo "missing $bench: build the target zephra_zap_bench first" >&2; exit 1; }
[ -x "$app/lib/zephra-server" ] || { echo "missing $app/lib/zephra-server: build zephra_server first" >&2; exit 1; }
[ -d "$app/lib/Program/www/localhost/demo" ] || { echo "no demo channels in $app: build zephra_demo_content" >&2; exit 1; }

work=$(mktemp -d /tmp/zephra-zap-XXXXXX)
server=""
cleanup() {
  [ -z "$server" ] || { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT
[ -n "${XDG_RUNTIME_DIR:-}" ] || { mkdir -m 700 "$work/runtime"; export XDG_RUNTIME_DIR="$work/runtime"; }

# A private copy of the document tree on a free port, so a server already running is left alone.
# The demo playlist names the installation's fixed port: it is pointed at this copy's port before
# the server starts, as the server reads it once at the first request.
mkdir -p "$work/lib/Program/www"
cp -R "$app/lib/Program/www/localhost" "$work/lib/Program/www/"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sed -i "s#http://127\.0\.0\.1:[0-9]*/#http://127.0.0.1:$port/#g" "$work/lib/Program/www/localhost/channels.m3u"
"$app/lib/zephra-server" --port "$port" --root "$work/lib" --data "$work/data" --no-window >"$work/server.out" 2>/dev/null &
server=$!
for _ in $(seq 100); do
  grep -q "^listening on" "$work/server.out" && break
  sleep 0.05
done
grep -q "^listening on 127.0.0.1:$port" "$work/server.out" || { echo "the local server did not start on $port" >&2; exit 1; }

: > "$work/zaps.txt"
: > "$work/first_ratios.txt"
start=1
while [ "$start" -le "$starts" ]; do
  [ "$start" -eq 1 ] && n=$rounds || n=1
  "$bench" "$app" "http://127.0.0.1:$port/" "$n" >"$work/run.txt" 2>>"$work/bench.err" || {
    echo "the zap benchmark failed:" >&2
    cat "$work/bench.err" >&2; cat "$work/run.txt" >&2
    exit 1
  }
  cat "$work/run.txt" >> "$work/zaps.txt"
  # This start's first play against the median of its own warm zaps.
  warm=$(awk '$1 == "zap" { print $3 }' "$work/run.txt" | sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }')
  awk -v w="$warm" '$1 == "first" && w > 0 { print $3 / w }' "$work/run.txt" >> "$work/first_ratios.txt"
  start=$((start + 1))
done

stats() { sort -n | awk '{ v[NR] = $1 } END { if (NR) printf "%.1f %.1f %.1f", v[1], v[int((NR + 1) / 2)], v[NR]; else printf "- - -" }'; }
ours=$(awk '$1 == "zap" { print $3 }' "$work/zaps.txt" | stats)
engine=$(awk '$1 == "zap" { print $4 }' "$work/zaps.txt" | stats)
media=$(awk '$1 == "zap" { print $2 }' "$work/zaps.txt" | stats)
navigation=$(awk '$1 == "zap" { print $5 }' "$work/zaps.txt" | stats)
ratio=$(awk '$1 == "zap" && $4 > 0 { print $3 / $4 }' "$work/zaps.txt" | stats | awk '{ printf "%.2f", $2 }')
zaps=$(grep -c '^zap ' "$work/zaps.txt" || true)
lost=$(awk '$1 == "lost" { n += $2 } END { print n + 0 }' "$work/zaps.txt")
first=$(awk '$1 == "first" { print $3 }' "$work/zaps.txt" | stats)
first_ratio=$(stats < "$work/first_ratios.txt" | awk '{ printf "%.2f", $2 }')
if [ "${ZAP_SUMMARY:-}" = 1 ]; then
  echo "$(echo "$ours" | cut -d' ' -f2) $(echo "$engine" | cut -d' ' -f2) $ratio $zaps $lost $(echo "$first" | cut -d' ' -f2) $first_ratio"
  exit 0
fi
echo "Zap time, $zaps zaps, $lost lost (no first frame within 10 s) (min / median / max, ms)"
[ -s "$work/bench.err" ] && sed 's/^/  /' "$work/bench.err"
printf "  %-40s %s\n" "click -> navigation event" "$navigation"
printf "  %-40s %s\n" "click -> MediaChange" "$media"
printf "  %-40s %s\n" "click -> first frame" "$ours"
printf "  %-40s %s\n" "engine floor: loadfile -> first frame" "$engine"
echo "  ratio (median of the pairs, ours / engine): $ratio   target <= 1.10"
printf "  %-40s %s\n" "first play after start -> first frame" "$first"
echo "  ratio (median over $starts starts, first play / that start's median warm zap): $first_ratio   target <= 1.50"
