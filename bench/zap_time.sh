#!/bin/sh
# Zap time on the demo channels: from a click on a channel link in the directory page of the real
# main window to the player's MediaChange and to its first frame, beside mpv's own command-line
# open-to-first-frame time for the same stream, as a ratio (ours / mpv's, first frame).
#
# Usage: bench/zap_time.sh [build folder] [rounds]     (default: build, 5 rounds)
# Needs the targets zephra_zap_bench, zephra_server and the demo content built, and mpv's command
# line (scripts/install-deps.sh). Runs under its own Xvfb when DISPLAY is not set.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
rounds=${2:-5}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$rounds"
fi
bench="$build/bench/zephra_zap_bench"
app="$build/app"
[ -x "$bench" ] || { echo "missing $bench: build the target zephra_zap_bench first" >&2; exit 1; }
[ -x "$app/lib/zephra-server" ] || { echo "missing $app/lib/zephra-server: build zephra_server first" >&2; exit 1; }
[ -d "$app/lib/Program/www/localhost/demo" ] || { echo "no demo channels in $app: build zephra_demo_content" >&2; exit 1; }
command -v mpv >/dev/null || { echo "mpv's command line is missing: run scripts/install-deps.sh" >&2; exit 1; }

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
  cat "$work/bench.err" >&2
  exit 1
}

# The same video output the player picks: GPU when there is a render node, else X11.
vo=x11
ls /dev/dri/renderD* >/dev/null 2>&1 && vo=gpu,x11

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR) printf "%.1f", v[int((NR + 1) / 2)]; else printf "-" }'; }

# mpv's own log times: from "Opening <url>" to "first video frame ... shown".
mpv_first_frame() {
  mpv --no-config --ao=null --vo="$vo" --frames=1 --msg-time --msg-level=all=v "$1" 2>&1 |
    awk -F'[][]' -v url="$1" '
      index($0, "Opening " url) && start == "" { start = $2 + 0 }
      /first video frame/ && start != "" { printf "%.1f\n", ($2 - start) * 1000; exit }'
}

echo "Zap time, $rounds rounds per channel, video output $vo (medians, ms)"
printf "%-16s %14s %16s %18s %8s\n" "channel" "click->media" "click->1st frame" "mpv open->1st frm" "ratio"
first=$(awk 'NR == 1 { $1 = $2 = $3 = $4 = ""; sub(/^ +/, ""); print }' "$work/zaps.txt")
for url in $(awk '{ print $4 }' "$work/zaps.txt" | awk '!seen[$0]++'); do
  name=$(awk -v u="$url" '$4 == u { $1 = $2 = $3 = $4 = ""; sub(/^ +/, ""); print; exit }' "$work/zaps.txt")
  tomedia=$(awk -v u="$url" '$4 == u { print $2 }' "$work/zaps.txt" | median)
  toframe=$(awk -v u="$url" '$4 == u { print $3 }' "$work/zaps.txt" | median)
  theirs=$(for _ in $(seq "$rounds"); do mpv_first_frame "$url"; done | median)
  ratio=$(awk -v a="$toframe" -v b="$theirs" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }')
  printf "%-16s %14s %16s %18s %8s\n" "$name" "$tomedia" "$toframe" "$theirs" "$ratio"
done
echo "(the very first zap, of $first, also starts the video output; mpv's figure excludes its own process start)"
