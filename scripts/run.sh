#!/bin/sh
# Installs what is missing, builds, and starts Zephra Player from its staged application folder
# (the player starts its local server with the offline demo channels by itself). Beside it runs
# the reference remote service on a free loopback port with the demo update published, so the
# update check, About and Help work offline; it stops when the player exits.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
sh scripts/build.sh
build=${ZEPHRA_BUILD_DIR:-build}
app=$build/app
service=$build/remote_service/zephra-service
data=$build/service-data

"$service" publish "$build/remote_service/demo-content" --data "$data"
log=$(mktemp)
"$service" --port 0 --data "$data" >"$log" &
service_pid=$!

# The player reads remotebase.txt at start; whatever it held before is put back afterwards.
saved=
if [ -f "$app/remotebase.txt" ]; then
  saved=$(mktemp)
  cp "$app/remotebase.txt" "$saved"
fi
finish() {
  kill "$service_pid" 2>/dev/null || true
  wait "$service_pid" 2>/dev/null || true
  if [ -n "$saved" ]; then mv "$saved" "$app/remotebase.txt"; else rm -f "$app/remotebase.txt"; fi
  rm -f "$log"
}
trap finish EXIT
trap 'exit 130' INT TERM

port=
tries=0
while [ -z "$port" ]; do
  port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$log")
  [ -n "$port" ] && break
  if ! kill -0 "$service_pid" 2>/dev/null || [ "$tries" -ge 100 ]; then
    echo "run.sh: zephra-service did not start" >&2
    exit 1
  fi
  tries=$((tries + 1))
  sleep 0.1
done
echo "remote service: http://127.0.0.1:$port/ (data in $data)"
echo "http://127.0.0.1:$port/" >"$app/remotebase.txt"
"$app/zephra"
