#!/usr/bin/env bash
# The real program under a real X server: it starts, shows its window titled "QL Vodadov", and
# quits with status 0 on Ctrl+Q.
set -uo pipefail

program=${1:?usage: x11_smoke.sh PROGRAM}

source "$(dirname "$0")/x11_support.sh"
run_inside_xvfb 1024x768x24 "$0" "$@"
"$program" &
pid=$!

fail() {
    echo "FAILED: $*"
    kill "$pid" 2>/dev/null
    exit 1
}

# --sync waits for the window; the timeout only guards against a program that never shows one.
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^QL Vodadov$' | head -n 1)
[ -n "$window" ] || fail "no window titled \"QL Vodadov\" appeared"
echo "window $window: \"$(xdotool getwindowname "$window")\""

# There is no window manager here, so the window is given the keyboard focus directly.
xdotool windowfocus --sync "$window" || fail "could not focus the window"
xdotool key --clearmodifiers ctrl+q

timeout 60 bash -c "while kill -0 $pid 2>/dev/null; do sleep 0.1; done" ||
    fail "the program did not quit on Ctrl+Q"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "the program quit with status $status"
echo "quit with status 0"
