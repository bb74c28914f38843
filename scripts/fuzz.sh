#!/bin/sh
# Builds every libFuzzer target (clang, ASan + UBSan, in build-san/) and runs each for SECONDS
# (default 20) from its seed corpus in fuzz/corpus/NAME/, one target per core at a time
# (ZEPHRA_FUZZ_JOBS to choose). Fails on any crash, leak, timeout or sanitizer report; the input
# that did it is kept in build-san/fuzz-artifacts/.
# Usage: sh scripts/fuzz.sh [SECONDS]
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR=${ZEPHRA_SAN_BUILD_DIR:-build-san}
artifacts="$BUILD_DIR/fuzz-artifacts"

# One target (the script runs itself this way for each): new inputs go to a scratch folder, so
# the seed corpus in the repository stays as it is; the output goes to the target's own log,
# shown only when it fails.
if [ "${1:-}" = "--one" ]; then
  seconds=$2 target=$3
  name=${target##*/fuzz_}
  work="$BUILD_DIR/fuzz-corpus/$name"
  log="$BUILD_DIR/fuzz-$name.log"
  mkdir -p "$work"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$artifacts/$name-" "$work" "fuzz/corpus/$name" \
       >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "fuzz: $name FAILED (input kept in $artifacts/)" >&2
    exit 1
  fi
  echo "fuzz: $name ${seconds}s: $(grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$log" | tr '\n' ' ')"
  exit 0
fi

SECONDS_EACH=${1:-20}
. scripts/sanitizer-env.sh
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZEPHRA_SANITIZE=ON -DZEPHRA_FUZZ=ON -DZEPHRA_WINDOWS=OFF
fi
cmake --build "$BUILD_DIR" -j"$(nproc)" --target zephra_fuzz_targets

mkdir -p "$artifacts"
set -- "$BUILD_DIR"/fuzz-bin/fuzz_*
[ -x "$1" ] || { echo "fuzz: no fuzz targets were built" >&2; exit 1; }
for target in "$@"; do
  name=${target##*/fuzz_}
  [ -d "fuzz/corpus/$name" ] || { echo "fuzz: no seed corpus for $name (fuzz/corpus/$name)" >&2; exit 1; }
done
# The targets are independent and single-threaded; xargs fails when any of them does.
printf '%s\n' "$@" | xargs -P "${ZEPHRA_FUZZ_JOBS:-$(nproc)}" -n 1 sh scripts/fuzz.sh --one "$SECONDS_EACH" ||
  { echo "fuzz: a target found something (see above)" >&2; exit 1; }
echo "fuzz: $# targets ran ${SECONDS_EACH}s each without a finding"
