#!/usr/bin/env bash
# A provider account of 20,000 channels (by default) served by a fake provider on 127.0.0.1:
# the local server's import of it (start to channels listed, target at most 2 s) and its
# directory pages, each against a playlist of the same channels from the same provider, measured
# in the same run. Prints figures; it is not a test. With PROVIDER_SUMMARY=1 only the last line
# (the figures in the order the program names).
#
#   bench/provider_import.sh [BUILD_DIR] [CHANNELS] [ROUNDS]   (default: build-bench, 20000, 5)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(dirname "$here")
build_dir=${1:-$source_dir/build-bench}
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build_dir" -j2 --target zephra_provider_bench >/dev/null
bench=$(find "$build_dir" -type f -name zephra_provider_bench -perm -u+x | head -1)
if [ "${PROVIDER_SUMMARY:-0}" = 1 ]; then
  "$bench" "${2:-20000}" "${3:-5}" | tail -n 1
else
  "$bench" "${2:-20000}" "${3:-5}" | sed '$d'
fi
