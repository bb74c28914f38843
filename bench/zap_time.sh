#!/bin/sh
# Zap time on the demo channels: from the DOM click on a channel link in the directory page of
# the real main window to the player's MediaChange and to its first frame, each zap paired with
# the engine's floor measured right after it in the same process (bare libmpv with the player's
# settings in an existing window, loadfile -> first frame). Prints min / median / max of both and
# the median of the pair ratios (ours / engine).
#
# Usage: bench/zap_time.sh [build folder] [rounds]     (default: build, 4 rounds of 5 channels)
# Needs the targets zephra_zap_bench, zephra_server and the demo content built. Runs under its
# own Xvfb when DISPLAY is not set. With ZAP_SUMMARY=1 prints one line "ours engine ratio zaps lost".
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
rounds=${2:-4}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$rounds"
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

"$bench" "$app" "http://127.0.0.1:$port/" "$rounds" >"$work/zaps.txt" 2>"$work/bench.err" || {
  echo "the zap benchmark failed:" >&2
  cat "$work/bench.err" >&2; cat "$work/zaps.txt" >&2
  exit 1
}

stats() { sort -n | awk '{ v[NR] = $1 } END { if (NR) printf "%.1f %.1f %.1f", v[1], v[int((NR + 1) / 2)], v[NR]; else printf "- - -" }'; }
ours=$(awk '$1 == "zap" { print $3 }' "$work/zaps.txt" | stats)
engine=$(awk '$1 == "zap" { print $4 }' "$work/zaps.txt" | stats)
media=$(awk '$1 == "zap" { print $2 }' "$work/zaps.txt" | stats)
navigation=$(awk '$1 == "zap" { print $5 }' "$work/zaps.txt" | stats)
ratio=$(awk '$1 == "zap" && $4 > 0 { print $3 / $4 }' "$work/zaps.txt" | stats | awk '{ printf "%.2f", $2 }')
zaps=$(grep -c '^zap ' "$work/zaps.txt" || true)
lost=$(awk '$1 == "lost" { print $2 }' "$work/zaps.txt")
if [ "${ZAP_SUMMARY:-}" = 1 ]; then
  echo "$(echo "$ours" | cut -d' ' -f2) $(echo "$engine" | cut -d' ' -f2) $ratio $zaps $lost"
  exit 0
fi
echo "Zap time, $zaps zaps, $lost lost (no first frame within 10 s) (min / median / max, ms)"
[ -s "$work/bench.err" ] && sed 's/^/  /' "$work/bench.err"
printf "  %-40s %s\n" "click -> navigation event" "$navigation"
printf "  %-40s %s\n" "click -> MediaChange" "$media"
printf "  %-40s %s\n" "click -> first frame" "$ours"
printf "  %-40s %s\n" "engine floor: loadfile -> first frame" "$engine"
echo "  ratio (median of the pairs, ours / engine): $ratio   target <= 1.10"
