#!/bin/sh
# Installs what is missing, builds, and runs every test headless on a private X server.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
sh scripts/build.sh
BUILD_DIR=${ZEPHRA_BUILD_DIR:-build}
runtime=$(mktemp -d /tmp/zephra-runtime-XXXXXX)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime" GDK_BACKEND=x11
# No D-Bus session and no accessibility bus on a bare machine; keep GTK from looking for them.
export NO_AT_BRIDGE=1
status=0
# -noreset: an X server resets when its last client leaves, and a test connecting during that
# moment is refused. Test programs come and go one after another, so keep the server as it is.
# A failed test fails the run: nothing is run again. One at a time unless ZEPHRA_TEST_JOBS says
# more: the tests that open windows hold the display lock then, but a busy machine still slows
# their pointer and focus waits, so more at a time suits a build without them (ZEPHRA_WINDOWS=OFF).
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
  ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 300 -j"${ZEPHRA_TEST_JOBS:-1}" \
  ${ZEPHRA_SKIP_LABEL:+-LE "$ZEPHRA_SKIP_LABEL"} || status=$?
rm -rf "$runtime"
exit $status
