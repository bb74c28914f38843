# Shared by the start-up and memory benchmarks (sourced, with $here, $build and $runs set): their
# own Xvfb when no display is set (the script starts again under it); a temporary copy of the
# staged application folder whose directory page reports its own load to a loopback listener,
# which is also the remote service, so nothing leaves the machine; the bare web view program;
# starting and stopping the programs one at a time.
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
python3 -u - "$work/requests.log" > "$work/requests.log" <<'EOF' &
import http.server, os, sys, time
log = sys.argv[1]
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        print("%.4f %s" % (time.time(), self.path))
        # /mode answers what the file "mode" beside the log holds: the memory benchmark's switch.
        body = b""
        if self.path.startswith("/mode"):
            try:
                body = open(os.path.join(os.path.dirname(os.path.abspath(log)), "mode"), "rb").read().strip()
            except OSError:
                pass
        self.send_response(200 if body else 204)
        self.send_header("Access-Control-Allow-Origin", "*")
        self.end_headers()
        self.wfile.write(body)
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

# Starts "$@" and waits for the page's report, leaving the program running as $player_pid;
# prints the milliseconds from the start to the report.
start_until_loaded() {
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
  python3 -c "print(round(($loaded - $start) * 1000))"
}

stop_program() {
  kill "$player_pid"
  wait "$player_pid" 2>/dev/null || true
  player_pid=""
}

# One start of "$@": prints the milliseconds from the start to the page's report.
measure() {
  start_until_loaded "$@"
  stop_program
}

page="http://127.0.0.1:$port/query.php?code=&fav=0"

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
# The median of the figures given as arguments.
median_of() { printf '%s\n' "$@" | median; }
# For run_all.sh: when $1 is 1, prints the summary line $2 and ends the script.
summary_only() {
  [ "$1" = 1 ] || return 0
  echo "$2"
  exit 0
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }
