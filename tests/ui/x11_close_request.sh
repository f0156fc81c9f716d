#!/usr/bin/env bash
# The real program under a real X server: asked to close as a window manager asks (its close
# button, Alt+F4), the main window quits the program with status 0, as File > Quit does.
set -uo pipefail

program=${1:?usage: x11_close_request.sh PROGRAM CLOSE_REQUEST}
close_request=${2:?usage: x11_close_request.sh PROGRAM CLOSE_REQUEST}

source "$(dirname "$0")/x11_support.sh"
run_inside_xvfb 1024x768x24 "$0" "$@"
"$program" &
pid=$!

fail() {
    echo "FAILED: $*"
    kill "$pid" 2>/dev/null
    exit 1
}

window=$(timeout 60 xdotool search --sync --onlyvisible --name '^QL Vodadov$' | head -n 1)
[ -n "$window" ] || fail "no window titled \"QL Vodadov\" appeared"

"$close_request" "$window" || fail "the close request could not be sent"

timeout 60 bash -c "while kill -0 $pid 2>/dev/null; do sleep 0.1; done" ||
    fail "the program did not quit when its window was asked to close"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "the program quit with status $status"
echo "asked to close, quit with status 0"
