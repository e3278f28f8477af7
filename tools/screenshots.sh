#!/bin/sh
# The pictures of the user guide (doc/guide/images): the desktop program
# runs the demo project on the virtual instrument under a virtual display,
# and its windows are saved one by one: the start-up chooser, the project
# editor, the main window in the display modes of its activity picture, the
# report window, the report settings, the recorded-experiments browser, the
# device self-test and the factory settings window. Takes about two minutes.
#   tools/screenshots.sh [OUT]     (from the repository, after the build)
# OUT defaults to doc/guide/images. Needs Xvfb; the build folder is $BUILD,
# else build. The program is built first unless NO_BUILD=1 (for a build
# made beforehand, e.g. under a shared build lock).
set -eu
build=${BUILD:-build}
out=${1:-doc/guide/images}
display=:${SCREENSHOT_DISPLAY:-93}
data=$(mktemp -d)
Xvfb "$display" -screen 0 1280x900x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$data"' EXIT
sleep 1
if [ "${NO_BUILD:-0}" != 1 ]; then
  cmake --build "$build" --target orbelune-screenshots >/dev/null
fi
DISPLAY=$display "$build/ui/orbelune-screenshots" "$data" "$out"
