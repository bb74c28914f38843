# Shared by the player benchmarks (sourced, with $here, $program and $default_count set): the
# script's arguments give $build (default: build) and $count (default: $default_count); their
# own Xvfb when no display is set (the script starts again under it), the benchmark program
# $bench checked, and a private folder $work (with a runtime folder when none is set) removed
# at exit.
build=$(cd "${1:-$here/../build}" && pwd)
count=${2:-$default_count}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$count"
fi
bench="$build/bench/$program"
[ -x "$bench" ] || { echo "missing $bench: build the target $program first" >&2; exit 1; }
work=$(mktemp -d "/tmp/$program-XXXXXX")
trap 'rm -rf "$work"' EXIT
[ -n "${XDG_RUNTIME_DIR:-}" ] || { mkdir -m 700 "$work/runtime"; export XDG_RUNTIME_DIR="$work/runtime"; }
