#!/bin/sh
# Starts Zephra's local server from its own folder (lib/). The player runs this when it does not
# see the server's window; a server that already runs makes the new one exit at once.
cd "$(dirname "$0")" && exec ./zephra-server "$@"
