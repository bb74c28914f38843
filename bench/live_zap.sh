#!/bin/sh
# Zap time on live channels (bench/live_zap_bench.cpp): the player against libmpv with its
# defaults, on the live origin's MPEG-TS (keyframes every 1 s / 4 s) and HLS channels, over
# 40 / 150 ms round trips and 20 / 5 Mbit/s, interleaved. Per stream kind and network: min /
# median / max of both, the median floor (from what the origin sent for each zap), and the
# medians of the per-zap ratios ours / floor and, per pair of medians, ours / engine.
#
# Usage: bench/live_zap.sh [build folder] [zaps per case]     (default: build, 10)
# Needs the target zephra_live_zap_bench built. Runs under its own Xvfb when DISPLAY is not set.
# With LIVE_ZAP_SUMMARY=1 prints one line per stream kind:
#   "<kind> <ours median> <floor median> <ours/floor> <engine median> <ours/engine> <zaps> <lost>"
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
zaps=${2:-10}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$zaps"
fi
bench="$build/bench/zephra_live_zap_bench"
[ -x "$bench" ] || { echo "missing $bench: build the target zephra_live_zap_bench first" >&2; exit 1; }
work=$(mktemp -d /tmp/zephra-live-zap-XXXXXX)
trap 'rm -rf "$work"' EXIT
[ -n "${XDG_RUNTIME_DIR:-}" ] || { mkdir -m 700 "$work/runtime"; export XDG_RUNTIME_DIR="$work/runtime"; }

"$bench" "$zaps" >"$work/zaps.txt" 2>"$work/bench.err" || {
  echo "the live zap benchmark failed:" >&2
  tail -n 20 "$work/bench.err" >&2
  exit 1
}

# Fields of a zap line: kind rtt kbps who ms floor height.
awk -v summary="${LIVE_ZAP_SUMMARY:-}" '
  function median(list, n,   i, j, t, v) {
    split(list, v, " "); n = 0; for (i in v) n++
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] + 0 < v[i] + 0) { t = v[i]; v[i] = v[j]; v[j] = t }
    return n ? (n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2) : -1
  }
  function lo(list,   v, n, i, m) { n = split(list, v, " "); m = v[1]; for (i = 2; i <= n; i++) if (v[i] + 0 < m + 0) m = v[i]; return m }
  function hi(list,   v, n, i, m) { n = split(list, v, " "); m = v[1]; for (i = 2; i <= n; i++) if (v[i] + 0 > m + 0) m = v[i]; return m }
  $1 == "zap" {
    c = $2 " " $3 " " $4; cases[c] = 1; kinds[$2] = 1
    t[c, $5] = t[c, $5] " " $6
    if ($5 == "ours") { fl[c] = fl[c] " " $7; if ($7 > 0) rf[c] = rf[c] " " ($6 / $7); kf[$2] = kf[$2] " " ($6 / $7); ko[$2] = ko[$2] " " $6; kfl[$2] = kfl[$2] " " $7; h[c] = h[c] " " $8; n[$2]++ }
    else ke[$2] = ke[$2] " " $6
  }
  $1 == "lost" { lost[$2]++; lostc[$2 " " $3 " " $4 " " $5]++ }
  END {
    if (summary == "1") {
      for (k in kinds) {
        e = median(ke[k]); o = median(ko[k])
        printf "%s %.0f %.0f %.2f %.0f %.2f %d %d\n", k, o, median(kfl[k]), median(kf[k]), e, (e > 0 ? o / e : 0), n[k], lost[k] + 0
      }
      exit
    }
    printf "%-16s %-22s %-22s %8s %11s %12s %8s %s\n", "kind rtt kbit/s", "ours min/med/max", "engine min/med/max", "floor", "ours/floor", "ours/engine", "height", "lost"
    for (c in cases) {
      o = median(t[c, "ours"]); e = median(t[c, "engine"])
      printf "%-16s %6.0f %6.0f %6.0f   %6.0f %6.0f %6.0f   %8.0f %11.2f %12.2f %8s %d/%d\n", c,
        lo(t[c, "ours"]), o, hi(t[c, "ours"]), lo(t[c, "engine"]), e, hi(t[c, "engine"]), median(fl[c]),
        median(rf[c]), (e > 0 ? o / e : 0), median(h[c]), lostc[c " ours"] + 0, lostc[c " engine"] + 0
    }
    print "(floor: what the origin sent for each zap; ours/floor: median of per-zap ratios; ours/engine: of the medians)"
    print "targets: ours/floor <= 1.30 (MPEG-TS and HLS), ours/engine <= 0.50 (MPEG-TS)"
  }' "$work/zaps.txt" | { read -r header; echo "$header"; sort; } 
