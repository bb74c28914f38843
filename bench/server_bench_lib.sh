# Shared by the local server benchmarks (sourced by bash, with $here set and the script's own
# arguments passed on): the benchmark build, a scratch folder, generated playlists, the server
# started on an ephemeral port, and medians of request times over loopback.
#
#   . "$here/server_bench_lib.sh" "$@"    # [BUILD_DIR] [REQUESTS]; then bench_build TARGET...
source_dir=$(dirname "$here")
build_dir=${1:-$source_dir/build-bench}
requests=${2:-21}

# Configures the benchmark build once, then builds the given targets; sets $build_type.
bench_build() {
  if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
  cmake --build "$build_dir" -j2 --target "$@" >/dev/null
}

server="$build_dir/app/lib/zephra-server"
work=$(mktemp -d "/tmp/zephra-$(basename "$0" .sh)-XXXXXX")
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
docroot="$work/lib/Program/www/localhost"
mkdir -p "$docroot"

# A playlist of $1 realistic entries into $2: attributes, 40 groups, a logo on every other
# channel, query strings; tvg-ids ch1.example, ch2.example...
make_playlist() {
  awk -v n="$1" 'BEGIN {
    print "#EXTM3U"
    for (i = 1; i <= n; i++) {
      logo = (i % 2) ? " tvg-logo=\"http://logos.example/" i ".png\"" : ""
      printf "#EXTINF:-1 tvg-id=\"ch%d.example\" tvg-name=\"Channel %d\"%s group-title=\"Group %d\",Channel %d HD\n", i, i, logo, i % 40, i
      printf "http://streams.example/live/%d/index.m3u8?token=abc%d&q=hd\n", i, i
    }
  }' > "$2"
}

# Every request carries the page secret, as the player's do: the server answers nothing without
# it. Read from the server's data folder at each call (a restarted server may have a new one).
curl() {
  command curl -H "Cookie: zephra_page=$(head -n 1 "$work/data/page-token" 2>/dev/null)" \
    -H "Sec-Fetch-Dest: document" "$@"
}

# Starts the server on the scratch folder and waits for its port; sets $server_pid and $base.
start_server() {
  "$server" --port 0 --root "$work/lib" --data "$work/data" --no-window > "$work/out" 2>"$work/err" &
  server_pid=$!
  port=""
  for _ in $(seq 1 200); do
    port=$(sed -n 's/^listening on 127\.0\.0\.1://p' "$work/out")
    [ -n "$port" ] && break
    sleep 0.05
  done
  [ -n "$port" ] || { echo "the server did not start:" >&2; cat "$work/err" >&2; exit 1; }
  base="http://127.0.0.1:$port"
}

# Median of $requests total request times for $base/$1 over loopback, which bounds the server
# time from above.
median() {
  local target=$1 times=()
  for _ in $(seq 1 "$requests"); do
    times+=("$(curl -s -o /dev/null -w '%{time_total}' "$base/$target")")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'
}

# The server's resident memory in MiB.
server_rss_mib() {
  awk '/^VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$server_pid/status"
}
