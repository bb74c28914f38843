#!/bin/sh
# Zap time on live channels (bench/live_zap_bench.cpp): the player against libmpv with its
# defaults, on the live origin's MPEG-TS (keyframes every 1 s / 4 s) and HLS channels, over
# 40 / 150 ms round trips and 20 / 5 Mbit/s, interleaved. Per stream kind and network: min /
# median / max of both, the median floor (from what the origin sent for each zap), and the
# medians of the per-zap ratios ours / floor and, per pair of medians, ours / engine.
#
# Usage: bench/live_zap.sh [build folder] [zaps per case]     (default: build, 10)
# Needs the target zephra_live_zap_bench built. Runs under its own Xvfb when DISPLAY is not set.
# With LIVE_ZAP_SUMMARY=1 prints one line per stream kind: "<kind> <ours median> <floor median>
# <ours/floor> <engine median> <ours/engine> <zaps> <lost> <ours over floor> <engine over floor>".
set -eu

here=$(cd "$(dirname "$0")" && pwd)
program=zephra_live_zap_bench default_count=10
. "$here/player_bench_lib.sh"
zaps=$count

"$bench" "$zaps" >"$work/zaps.txt" 2>"$work/bench.err" || {
  echo "the live zap benchmark failed:" >&2
  tail -n 20 "$work/bench.err" >&2
  exit 1
}

# Fields of a zap line: kind rtt kbps who ms floor height. Per case, the overhead is the median
# of (ms - floor) over the zaps: what a player adds to what the channel and the link impose.
awk -v summary="${LIVE_ZAP_SUMMARY:-}" '
  function sorted(list, v,   n, i, j, t) {
    n = split(list, v, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (v[j] + 0 < v[i] + 0) { t = v[i]; v[i] = v[j]; v[j] = t }
    return n
  }
  function median(list,   v, n) { n = sorted(list, v); return n ? (n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2) : -1 }
  function lo(list,   v) { return sorted(list, v) ? v[1] : -1 }
  function hi(list,   v, n) { n = sorted(list, v); return n ? v[n] : -1 }
  $1 == "zap" {
    c = $2 " " $3 " " $4; cases[c] = 1; kinds[$2] = 1; w = $5
    t[c, w] = t[c, w] " " $6; over[c, w] = over[c, w] " " ($6 - $7); kover[$2, w] = kover[$2, w] " " ($6 - $7)
    kt[$2, w] = kt[$2, w] " " $6
    if (w == "ours") { fl[c] = fl[c] " " $7; rf[c] = rf[c] " " ($6 / $7); kf[$2] = kf[$2] " " ($6 / $7); kfl[$2] = kfl[$2] " " $7; h[c] = $8; n[$2]++ }
  }
  $1 == "lost" { lost[$2]++; lostc[$2 " " $3 " " $4 " " $5]++ }
  END {
    if (summary == "1") {
      for (k in kinds)
        printf "%s %.0f %.0f %.2f %.0f %.2f %d %d %.0f %.0f\n", k, median(kt[k, "ours"]), median(kfl[k]), median(kf[k]),
          median(kt[k, "engine"]), median(kt[k, "ours"]) / median(kt[k, "engine"]), n[k], lost[k] + 0,
          median(kover[k, "ours"]), median(kover[k, "engine"])
      exit
    }
    for (c in cases)
      printf "%-16s %6.0f %6.0f %6.0f   %6.0f %6.0f %6.0f   %6.0f %6.2f %6.2f   %6.0f %6.0f   %6s %d/%d\n", c,
        lo(t[c, "ours"]), median(t[c, "ours"]), hi(t[c, "ours"]), lo(t[c, "engine"]), median(t[c, "engine"]),
        hi(t[c, "engine"]), median(fl[c]), median(rf[c]), median(t[c, "ours"]) / median(t[c, "engine"]),
        median(over[c, "ours"]), median(over[c, "engine"]), h[c], lostc[c " ours"] + 0, lostc[c " engine"] + 0
  }' "$work/zaps.txt" > "$work/table.txt"
[ "${LIVE_ZAP_SUMMARY:-}" = 1 ] && { cat "$work/table.txt"; exit 0; }
echo "Live zap time, ms from the address handed over to the first frame ($zaps zaps per case)"
printf "%-16s %-22s   %-22s   %6s %6s %6s   %-13s   %6s %s\n" "kind rtt kbit/s" "ours min/med/max" "engine min/med/max" \
  "floor" "/floor" "/engine" "over the floor" "height" "lost"
sort "$work/table.txt"
echo "floor: from what the origin sent for each zap; /floor: median of the per-zap ratios ours / floor;"
echo "/engine: median ours / median engine (libmpv defaults); over the floor: median (ms - floor), ours and engine"
echo "targets: /floor <= 1.30 (MPEG-TS and HLS), /engine <= 0.50 (MPEG-TS)"
