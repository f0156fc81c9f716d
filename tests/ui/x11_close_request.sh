#!/usr/bin/env bash
# The real program under a real X server: asked to close as a window manager asks (its close
# button, Alt+F4), the main window quits the program with status 0, as File > Quit does.
set -uo pipefail

program=${1:?usage: x11_close_request.sh PROGRAM CLOSE_REQUEST}
close_request=${2:?usage: x11_close_request.sh PROGRAM CLOSE_REQUEST}

source "$(dirname "$0")/x11_support.sh"
run_inside_xvfb 1024x768x24 "$0" "$@"
start_main_window "$program"
"$close_request" "$window" || fail "the close request could not be sent"
expect_quit "a close request"
