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
. "$here/app_bench_lib.sh"

# The bare program with the server absent: the server is started beside it, as the player does.
cat > "$work/bare_absent.sh" <<EOF
(cd "$work/app/lib" && setsid sh ./serv.sh < /dev/null > /dev/null 2>&1 &)
exec "$bare" "$page" 3000
EOF


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
m_a=$(median_of $absent); m_ba=$(median_of $bare_a)
m_r=$(median_of $running); m_br=$(median_of $bare_r)
summary_only "${STARTUP_SUMMARY:-}" "$m_r $m_br $(ratio "$m_r" "$m_br") $m_a $m_ba $(ratio "$m_a" "$m_ba")"
echo "start to directory page loaded, ms (runs:$runs, interleaved)"
echo "  server running, Zephra:$running   median $m_r"
echo "  server running, bare   :$bare_r   median $m_br   ratio $(ratio "$m_r" "$m_br")   target <= 1.25"
echo "  server absent,  Zephra:$absent   median $m_a"
echo "  server absent,  bare   :$bare_a   median $m_ba   ratio $(ratio "$m_a" "$m_ba")"
