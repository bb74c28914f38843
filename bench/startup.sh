#!/bin/sh
# Start-up time of Zephra Player: from the process start to the channel directory page loaded
# in the directory view, once with the local server absent (the player starts it and waits for
# it) and once with it already running, each run paired with the bare web view program
# (bench/bare_webview.cpp) loading the same page; with the server absent the bare program starts
# the server beside it and waits the same 3000 ms. Runs are interleaved, one program alive at a
# time; prints medians and the ratio of the medians.
#
# Usage: bench/startup.sh [build folder] [runs]     (default: build, 7 runs)
# With STARTUP_SUMMARY=1 prints one line: "ours_running bare_running ratio ours_absent bare_absent ratio".
# Runs under its own Xvfb when DISPLAY is not set. Works on a temporary copy of the staged
# application folder; the remote service is a loopback listener, so nothing leaves the machine.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
runs=${2:-7}
app=$(cd "$build/app" && pwd)

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$runs"
fi
for f in zephra zephra-player lib/zephra-server; do
  [ -x "$app/$f" ] || { echo "missing $app/$f: build the program and the local server first" >&2; exit 1; }
done
bare="$build/bench/zephra_bare_webview"
[ -x "$bare" ] || { echo "missing $bare: build the target zephra_bare_webview first" >&2; exit 1; }
port=$(grep -o 'kLocalServerPort = [0-9]*' "$here/../common/zephra_constants.h" | grep -o '[0-9]*$')
if python3 -c "import socket,sys; s=socket.socket(); sys.exit(s.connect_ex(('127.0.0.1',$port))!=0)"; then
  echo "port $port is taken: stop the local server that runs on this machine first" >&2
  exit 1
fi

work=$(mktemp -d /tmp/zephra-bench-XXXXXX)
listener_pid=""
player_pid=""
cleanup() {
  [ -n "$player_pid" ] && kill "$player_pid" 2>/dev/null || true
  stop_server
  [ -n "$listener_pid" ] && kill "$listener_pid" 2>/dev/null || true
  rm -rf "$work"
}
# The copy's own server only: matched by the exact path of its executable.
stop_server() {
  for p in /proc/[0-9]*; do
    if [ "$(readlink "$p/exe" 2>/dev/null)" = "$work/app/lib/zephra-server" ]; then
      kill "${p#/proc/}" 2>/dev/null || true
    fi
  done
  while [ -n "$(server_pids)" ]; do sleep 0.05; done
}
server_pids() {
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" = "$work/app/lib/zephra-server" ] && echo "${p#/proc/}"
  done
  return 0
}
trap cleanup EXIT INT TERM

cp -r "$app" "$work/app"
rm -rf "$work/app/CMakeFiles"
mkdir -p "$work/config"

# A listener that notes when each request arrives (seconds since the epoch).
python3 -u - > "$work/requests.log" <<'EOF' &
import http.server, time
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        print("%.4f %s" % (time.time(), self.path))
        self.send_response(204)
        self.end_headers()
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
print("port %d" % server.server_port)
server.serve_forever()
EOF
listener_pid=$!
while ! grep -q '^port ' "$work/requests.log" 2>/dev/null; do sleep 0.05; done
listener="http://127.0.0.1:$(sed -n 's/^port //p' "$work/requests.log")/"
echo "$listener" > "$work/app/remotebase.txt"
# The directory page reports its own load.
cat >> "$work/app/lib/Program/www/localhost/assets/zephra.js" <<EOF

new Image().src = "${listener}loaded?" + Date.now();
EOF

# One start of "$@": prints the milliseconds from the start to the page's report.
measure() {
  before=$(grep -c ' /loaded' "$work/requests.log" || true)
  start=$(date +%s.%N)
  XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" \
    "$@" > /dev/null 2>&1 &
  player_pid=$!
  waited=0
  while [ "$(grep -c ' /loaded' "$work/requests.log" || true)" -le "$before" ]; do
    sleep 0.02
    waited=$((waited + 1))
    [ $waited -lt 1500 ] || { echo "timed out" >&2; exit 1; }
  done
  loaded=$(grep ' /loaded' "$work/requests.log" | tail -n 1 | cut -d' ' -f1)
  kill "$player_pid"
  wait "$player_pid" 2>/dev/null || true
  player_pid=""
  python3 -c "print(round(($loaded - $start) * 1000))"
}

page="http://127.0.0.1:$port/query.php?code=&fav=0"
# The bare program with the server absent: the server is started beside it, as the player does.
cat > "$work/bare_absent.sh" <<EOF
(cd "$work/app/lib" && setsid sh ./serv.sh < /dev/null > /dev/null 2>&1 &)
exec "$bare" "$page" 3000
EOF

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }

absent=""; bare_a=""; running=""; bare_r=""
i=0
while [ $i -lt "$runs" ]; do
  stop_server
  absent="$absent $(measure "$work/app/zephra")"
  # The first start left the server running.
  running="$running $(measure "$work/app/zephra")"
  bare_r="$bare_r $(measure "$bare" "$page")"
  stop_server
  bare_a="$bare_a $(measure sh "$work/bare_absent.sh")"
  i=$((i + 1))
done
m_a=$(echo $absent | tr ' ' '\n' | median); m_ba=$(echo $bare_a | tr ' ' '\n' | median)
m_r=$(echo $running | tr ' ' '\n' | median); m_br=$(echo $bare_r | tr ' ' '\n' | median)
if [ "${STARTUP_SUMMARY:-}" = 1 ]; then
  echo "$m_r $m_br $(ratio "$m_r" "$m_br") $m_a $m_ba $(ratio "$m_a" "$m_ba")"
  exit 0
fi
echo "start to directory page loaded, ms (runs:$runs, interleaved)"
echo "  server running, Zephra:$running   median $m_r"
echo "  server running, bare   :$bare_r   median $m_br   ratio $(ratio "$m_r" "$m_br")   target <= 1.25"
echo "  server absent,  Zephra:$absent   median $m_a"
echo "  server absent,  bare   :$bare_a   median $m_ba   ratio $(ratio "$m_a" "$m_ba")"
