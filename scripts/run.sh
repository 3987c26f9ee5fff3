#!/usr/bin/env bash
# Sets up what is missing, builds, and starts the desktop window. Without a display (no
# DISPLAY or WAYLAND_DISPLAY), it starts one under Xvfb with a window manager, so the window
# can still be looked at with a screenshot (scripts/screenshot.sh does that for the README).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
  exec build/ui/zembrio "$@"
fi
echo "No display: starting the window under Xvfb (stop with Ctrl-C)."
exec xvfb-run -a -s "-screen 0 1280x800x24" sh -c 'openbox & exec build/ui/zembrio'
