#!/bin/sh
# Pictures of the main window for the user guide: the desktop program
# records the demo project on the virtual instrument under a virtual
# display, and its main window is saved in each display mode of the live
# pictures (group view, bar plot, plate map, zoomed trace).
#   tools/screenshots.sh [OUT]     (from the repository, after the build)
# Needs Xvfb; the build folder is $BUILD, else build.
set -eu
build=${BUILD:-build}
out=${1:-screenshots}
display=:${SCREENSHOT_DISPLAY:-93}
data=$(mktemp -d)
Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$data"' EXIT
sleep 1
cmake --build "$build" --target orbelune-screenshots >/dev/null
DISPLAY=$display "$build/ui/orbelune-screenshots" "$data" "$out"
