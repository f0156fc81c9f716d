#!/usr/bin/env bash
# Runs Qt tests of the main window on a real X server with a window manager (twm) instead of
# the offscreen platform: focus, activation, shortcuts and painting then go through X as on a
# desktop. Each argument is a test program; all must pass.
set -uo pipefail

[ $# -gt 0 ] || { echo "usage: x11_qt_tests.sh TEST..."; exit 2; }

source "$(dirname "$0")/x11_support.sh"
if ! command -v twm >/dev/null; then
    echo "SKIPPED: twm is not installed ('make test' installs it)."
    exit 77
fi
run_inside_xvfb 1280x1024x24 "$0" "$@"
set -- "${@:1:$#-1}"  # without --inside

# twm asks where to put each new window unless told to place it itself.
config=$(mktemp)
trap 'rm -f "$config"; kill "$manager" 2>/dev/null' EXIT
printf 'RandomPlacement\nNoTitleFocus\n' >"$config"
twm -f "$config" >/dev/null 2>&1 &
manager=$!
# The window manager owns the root window's redirect once it runs; wait for that.
for _ in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1 && break
    xdotool search --class twm >/dev/null 2>&1 && break
    sleep 0.1
done

failed=0
for test in "$@"; do
    if "$test" >"$config.out" 2>&1; then
        echo "PASS: $(basename "$test") $(grep -m1 '^Totals' "$config.out")"
    else
        echo "FAIL: $(basename "$test")"
        grep -E '^(FAIL|   Loc|   Actual|   Expected)' "$config.out" | head -40
        failed=1
    fi
done
rm -f "$config.out"
exit "$failed"
