#!/bin/sh
# Builds every libFuzzer target (clang, ASan + UBSan, in build-san/) and runs each for SECONDS
# (default 20) from its seed corpus in fuzz/corpus/NAME/. Fails on the first crash, leak,
# timeout or sanitizer report; the input that did it is kept in build-san/fuzz-artifacts/.
# Usage: sh scripts/fuzz.sh [SECONDS]
set -eu
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-20}
BUILD_DIR=${ZEPHRA_SAN_BUILD_DIR:-build-san}
. scripts/sanitizer-env.sh
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZEPHRA_SANITIZE=ON -DZEPHRA_FUZZ=ON
fi
cmake --build "$BUILD_DIR" -j"$(nproc)" --target zephra_fuzz_targets

artifacts="$BUILD_DIR/fuzz-artifacts"
mkdir -p "$artifacts"
found=0
for target in "$BUILD_DIR"/fuzz-bin/fuzz_*; do
  [ -x "$target" ] || continue
  found=$((found + 1))
  name=${target##*/fuzz_}
  seeds="fuzz/corpus/$name"
  # New inputs go to a scratch folder; the seed corpus in the repository stays as it is.
  work="$BUILD_DIR/fuzz-corpus/$name"
  mkdir -p "$work"
  [ -d "$seeds" ] || { echo "fuzz: no seed corpus for $name ($seeds)" >&2; exit 1; }
  echo "fuzz: $name for ${SECONDS_EACH}s"
  if ! "$target" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "$work" "$seeds" \
       >"$BUILD_DIR/fuzz-$name.log" 2>&1; then
    tail -n 60 "$BUILD_DIR/fuzz-$name.log" >&2
    echo "fuzz: $name FAILED (input kept in $artifacts/)" >&2
    exit 1
  fi
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$BUILD_DIR/fuzz-$name.log" | tr '\n' ' '
  echo
done
[ "$found" -gt 0 ] || { echo "fuzz: no fuzz targets were built" >&2; exit 1; }
echo "fuzz: $found targets ran ${SECONDS_EACH}s each without a finding"
