#!/bin/sh
# Every benchmark figure in one table: Zephra's figure, the reference measured in the same run,
# their ratio and the target. Runs the start-up, memory, zap and local server benchmarks one
# after the other, under one Xvfb when DISPLAY is not set. LIVE_ZAPS sets the zaps per case of
# the live zap benchmark (default 10).
#
# Usage: bench/run_all.sh [build folder]     (default: build)
# Needs the player, the local server, the demo content and the bench targets built, with no
# local server of this installation running (the start-up benchmark uses the fixed port).
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build"
fi
[ -n "${XDG_RUNTIME_DIR:-}" ] || { XDG_RUNTIME_DIR=$(mktemp -d); export XDG_RUNTIME_DIR; }

echo "running the start-up benchmark..." >&2
set -- $(STARTUP_SUMMARY=1 sh "$here/startup.sh" "$build")
s_run=$1 s_run_ref=$2 s_run_ratio=$3 s_abs=$4 s_abs_ref=$5 s_abs_ratio=$6
echo "running the memory benchmark..." >&2
set -- $(MEMORY_SUMMARY=1 sh "$here/memory.sh" "$build")
m_idle=$1 m_play=$2 m_ref=$3 m_idle_ratio=$4 m_play_ratio=$5
echo "running the zap benchmark..." >&2
set -- $(ZAP_SUMMARY=1 sh "$here/zap_time.sh" "$build")
z_ours=$1 z_ref=$2 z_ratio=$3 z_zaps=$4 z_lost=$5 z_first=$6 z_first_ratio=$7
echo "running the live zap benchmark..." >&2
live_out=$(LIVE_ZAP_SUMMARY=1 sh "$here/live_zap.sh" "$build" "${LIVE_ZAPS:-10}" 2>&1) || echo "the live zap benchmark failed: $(echo "$live_out" | tail -n 3)" >&2
lz() { echo "$live_out" | awk -v k="$1" '$1 == k { print $'"$2"' }'; }
echo "running the local server benchmark..." >&2
server_out=$(bash "$here/server_bench.sh" "$build" 11 2>&1) || echo "the local server benchmark failed: $(echo "$server_out" | tail -n 3)" >&2
srv() { echo "$server_out" | awk -v n="$1" '$1 == n && $2 == "channels" { print $'"$2"' }'; }
first_screen=$(echo "$server_out" | awk '/first screen/ { print $(NF - 5) }')
echo "running the large guide benchmark (1 GiB)..." >&2
guide_out=$(GUIDE_LARGE_SUMMARY=1 bash "$here/guide_large.sh" "$build" 1024 2>&1) || echo "the large guide benchmark failed: $(echo "$guide_out" | tail -n 3)" >&2
gl() { echo "$guide_out" | tail -n 1 | awk '{ print $'"$1"' }'; }

echo "running the provider account benchmark..." >&2
provider_out=$(PROVIDER_SUMMARY=1 bash "$here/provider_import.sh" "$build" 2>&1) || echo "the provider account benchmark failed: $(echo "$provider_out" | tail -n 3)" >&2
pa() { echo "$provider_out" | tail -n 1 | awk '{ print $'"$1"' }'; }

row() { printf '| %-52s | %12s | %-44s | %6s | %-8s |\n' "$1" "$2" "$3" "$4" "$5"; }
echo
row "What" "Zephra" "Reference in the same run" "Ratio" "Target"
row "----" "------" "-------------------------" "-----" "------"
row "Start-up, server running: start -> directory loaded" "$s_run ms" "bare wxWebView program, same page: $s_run_ref ms" "$s_run_ratio" "<= 1.25"
row "Start-up, server absent (includes the 3 s wait)" "$s_abs ms" "bare program + server, 3 s wait: $s_abs_ref ms" "$s_abs_ratio" "-"
row "Memory idle, whole tree PSS" "$m_idle MiB" "bare program + server, idle: $m_ref MiB" "$m_idle_ratio" "<= 1.05"
row "Memory playing the first demo channel, PSS" "$m_play MiB" "bare program + server, idle: $m_ref MiB" "$m_play_ratio" "<= 1.15"
row "Zap: DOM click -> first frame ($z_zaps zaps, $z_lost lost)" "$z_ours ms" "libmpv in-process, loadfile -> frame: $z_ref ms" "$z_ratio" "<= 1.10"
row "First play after start (engine cold) -> first frame" "$z_first ms" "warm zap of the same start: $z_ours ms" "$z_first_ratio" "<= 1.50"
for k in ts1 ts4 hls; do
  case $k in ts1) what="MPEG-TS, keyframe every 1 s" ;; ts4) what="MPEG-TS, keyframe every 4 s" ;; *) what="HLS, 3 variants, 2 s segments" ;; esac
  row "Live zap, $what ($(lz $k 7) zaps, $(lz $k 8) lost)" "$(lz $k 2) ms" "floor from what the origin sent: $(lz $k 3) ms" "$(lz $k 4)" "<= 1.30"
  [ "$k" = hls ] && target="-" || target="<= 0.50"
  row "Live zap, $what, against the engine" "$(lz $k 2) ms" "libmpv defaults, same stream: $(lz $k 5) ms" "$(lz $k 6)" "$target"
done
row "Server: start -> listening, 200k channels" "$(srv 200000 3) s" "-" "-" "at once"
row "Server: start -> list shown, 10k / 50k / 200k" "$(srv 10000 4) / $(srv 50000 4) / $(srv 200000 4) s" "-" "-" "-"
row "Server: query.php first screen, 50k channels, median" "$first_screen s" "-" "-" "<= 0.300"
row "Guide of 1 GiB: import by the server" "$(gl 2) s" "the same file only read: $(gl 3) s" "$(gl 4)" "-"
row "Guide of 1 GiB: server peak memory growth" "$(gl 5) MiB" "server resident before it: $(gl 6) MiB" "$(gl 7)" "<= 100 MiB"
row "Guide of 1 GiB: query.php during the import" "$(gl 8) s" "the same page before it: $(gl 9) s" "$(gl 10)" "-"
row "Guide of 1 GiB: guide.php during the import" "$(gl 11) s" "the same page before it: $(gl 12) s" "$(gl 13)" "-"
row "Provider account of 20k channels: import" "$(pa 1) s" "the same channels as a playlist: $(pa 2) s" "$(pa 3)" "<= 2 s"
row "Provider account of 20k channels: query.php" "$(pa 4) ms" "the same channels as a playlist: $(pa 5) ms" "$(pa 6)" "<= 1.10"
row "Provider account of 20k channels: search" "$(pa 7) ms" "the same channels as a playlist: $(pa 8) ms" "$(pa 9)" "<= 1.10"
echo "(medians of interleaved runs; zap: median of the per-zap ratios)"
