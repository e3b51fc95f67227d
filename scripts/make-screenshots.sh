#!/bin/sh
# Renders the browser and the viewer offscreen on drawn pictures into
# packaging/screenshots/ (the AppStream entry's screenshots). Run after a
# build: scripts/make-screenshots.sh [BUILD_DIR]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
cmake --build "$build" --target make_screenshots
QT_QPA_PLATFORM=offscreen "$build/bin/make_screenshots" "$here/packaging/screenshots"
ls -l "$here/packaging/screenshots"
