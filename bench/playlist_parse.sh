#!/usr/bin/env bash
# Prints the playlist parser's rate in lines per second (target: at least 1,000,000 on one core
# with -O2) on a generated 50,000-channel playlist and on the real-world test playlists.
#
#   bench/playlist_parse.sh [BUILD_DIR]     (default: build-bench beside this folder)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(dirname "$here")
build_dir=${1:-$source_dir/build-bench}
testdata=${ZEPHRA_M3U_TESTDATA:-$source_dir/../shared/testdata/m3u}

# Configure every time: an existing build folder may predate the bench target.
if [ -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S "$source_dir" -B "$build_dir" >/dev/null
else
  cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
case $build_type in
  Release|RelWithDebInfo) ;;
  *) echo "warning: $build_dir is a '$build_type' build; figures are only meaningful optimised" >&2 ;;
esac
cmake --build "$build_dir" -j2 --target zephra_playlist_bench >/dev/null

bench=$(find "$build_dir" -type f -name zephra_playlist_bench -perm -u+x | head -1)
echo "playlist parse rate ($build_type, $(uname -m), single thread)"
"$bench" "$testdata"
