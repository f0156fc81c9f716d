#!/usr/bin/env bash
# The real program under a real X server: it starts, shows its window titled "QL Vodadov", and
# quits with status 0 on Ctrl+Q.
set -uo pipefail

program=${1:?usage: x11_smoke.sh PROGRAM}

source "$(dirname "$0")/x11_support.sh"
run_inside_xvfb 1024x768x24 "$0" "$@"
start_main_window "$program"
echo "window $window: \"$(xdotool getwindowname "$window")\""

# There is no window manager here, so the window is given the keyboard focus directly.
xdotool windowfocus --sync "$window" || fail "could not focus the window"
xdotool key --clearmodifiers ctrl+q
expect_quit Ctrl+Q
