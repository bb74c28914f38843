#!/bin/sh
# Memory of Zephra Player: PSS (proportional set size, /proc/PID/smaps_rollup) summed over the
# whole process tree, the player, its web processes and the local server, once idle on the
# channel directory and once playing the first demo channel, beside the bare web view program
# (bench/bare_webview.cpp) idle on the same page with the same server. PSS, not RSS: WebKit's
# processes share most of their pages. One program alive at a time, interleaved runs, medians.
#
# Usage: bench/memory.sh [build folder] [runs]     (default: build, 3 runs)
# Needs the demo content built. With MEMORY_SUMMARY=1 prints one line:
# "ours_idle ours_playing bare ratio_idle ratio_playing" (MiB).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
runs=${2:-3}
[ -d "$build/app/lib/Program/www/localhost/demo" ] || { echo "no demo channels in $build/app: build zephra_demo_content" >&2; exit 1; }
[ -n "${XDG_RUNTIME_DIR:-}" ] || { XDG_RUNTIME_DIR=$(mktemp -d); export XDG_RUNTIME_DIR; }
. "$here/app_bench_lib.sh"

# While the file "mode" says "play", the directory page clicks its first channel once it has
# loaded: a real link command through the real browser, and real playback.
cat >> "$work/app/lib/Program/www/localhost/assets/zephra.js" <<JS

fetch("${listener}mode").then(function (r) { return r.text(); }).then(function (mode) {
  var a = document.querySelector("a.play");
  if (mode === "play" && a && !sessionStorage.getItem("benchPlayed")) {
    sessionStorage.setItem("benchPlayed", "1");
    a.click();
    new Image().src = "${listener}clicked?" + Date.now();
  }
});
JS

descendants() {
  for c in $(ps -e -o pid=,ppid= | awk -v p="$1" '$2 == p { print $1 }'); do
    echo "$c"
    descendants "$c"
  done
}

# PSS in MiB of the program running as $player_pid, its descendants and the copy's server.
tree_pss() {
  for p in "$player_pid" $(descendants "$player_pid") $(server_pids); do
    awk '/^Pss:/ { print $2 }' "/proc/$p/smaps_rollup" 2>/dev/null || true
  done | awk '{ kb += $1 } END { printf "%.0f", kb / 1024 }'
}

# Waits 3 s, then until two readings a second apart lie within 1 MiB (at most 10 s more).
settled_pss() {
  sleep 3
  last=$(tree_pss)
  now=$last
  for _ in $(seq 10); do
    sleep 1
    now=$(tree_pss)
    [ $((now - last)) -le 1 ] && [ $((last - now)) -le 1 ] && break
    last=$now
  done
  echo "$now"
}

idle=""; playing=""; bare_pss=""
i=0
while [ $i -lt "$runs" ]; do
  rm -f "$work/mode"
  # The first start starts the server; later ones find it running.
  start_until_loaded "$work/app/zephra" > /dev/null
  idle="$idle $(settled_pss)"
  stop_program
  start_until_loaded "$bare" "$page" > /dev/null
  bare_pss="$bare_pss $(settled_pss)"
  stop_program
  echo play > "$work/mode"
  clicks=$(grep -c ' /clicked' "$work/requests.log" || true)
  start_until_loaded "$work/app/zephra" > /dev/null
  for _ in $(seq 250); do
    [ "$(grep -c ' /clicked' "$work/requests.log" || true)" -gt "$clicks" ] && break
    sleep 0.02
  done
  [ "$(grep -c ' /clicked' "$work/requests.log" || true)" -gt "$clicks" ] || { echo "the page did not click its channel" >&2; exit 1; }
  playing="$playing $(settled_pss)"
  stop_program
  i=$((i + 1))
done
m_i=$(median_of $idle); m_p=$(median_of $playing); m_b=$(median_of $bare_pss)
summary_only "${MEMORY_SUMMARY:-}" "$m_i $m_p $m_b $(ratio "$m_i" "$m_b") $(ratio "$m_p" "$m_b")"
echo "PSS of the whole process tree (player, web processes, local server), MiB (runs:$runs, interleaved)"
echo "  bare web view + server, idle:$bare_pss   median $m_b"
echo "  Zephra idle                 :$idle   median $m_i   ratio $(ratio "$m_i" "$m_b")   target <= 1.05"
echo "  Zephra playing              :$playing   median $m_p   ratio $(ratio "$m_p" "$m_b")   target <= 1.15"
