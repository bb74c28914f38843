#!/bin/sh
# Installs what is missing, builds, and starts Zephra Player from its staged application folder
# (the player starts its local server with the offline demo channels by itself).
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
sh scripts/build.sh
exec "${ZEPHRA_BUILD_DIR:-build}/app/zephra"
