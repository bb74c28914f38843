#!/bin/sh
# Installs every Debian package that building, running and testing Zephra Player needs.
# Safe to run again: apt-get skips what is already there.
set -eu
PACKAGES="
  build-essential cmake pkg-config git
  libwxgtk3.2-dev libwxgtk-webview3.2-dev libgtk-3-dev libwebkit2gtk-4.0-dev
  libmpv-dev libx11-dev libcurl4-openssl-dev libjpeg62-turbo-dev
  libsqlite3-dev libxml2-dev libcpp-httplib-dev libmicrohttpd-dev libzip-dev zlib1g-dev
  libavformat-dev libavcodec-dev libavutil-dev
  nlohmann-json3-dev
  libgtest-dev libgmock-dev
  xvfb xauth xdotool imagemagick fonts-dejavu-core openbox
  ffmpeg python3 python3-pil zip mpv curl procps
  clang libclang-rt-14-dev
"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $missing
fi
