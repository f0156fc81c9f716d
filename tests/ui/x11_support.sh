# Sourced by the checks that run the program under a real X server.

# Unless the arguments end in --inside, runs the calling script again inside a fresh Xvfb of
# SCREEN (e.g. 1024x768x24) with its arguments and --inside; exits 77 (skipped) when a tool is
# missing. Inside, returns and sets QT_QPA_PLATFORM for the programs the script starts.
#   run_inside_xvfb SCREEN "$0" "$@"
run_inside_xvfb() {
    local screen=$1 script=$2
    shift 2
    if [ "${*: -1}" = --inside ]; then
        export QT_QPA_PLATFORM=xcb
        return 0
    fi
    local tool
    for tool in xvfb-run Xvfb xdotool; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIPPED: $tool is not installed ('make test' installs it)."
            exit 77
        fi
    done
    exec xvfb-run -a -s "-screen 0 $screen" bash "$script" "$@" --inside
}

# Starts the program with the given arguments in the background (its pid in $pid) and waits for
# its main window (its id in $window); fails when none appears.
start_main_window() {
    "$@" &
    pid=$!
    # --sync waits for the window; the timeout only guards against a program that never shows one.
    window=$(timeout 60 xdotool search --sync --onlyvisible --name '^QL Vodadov$' | head -n 1)
    [ -n "$window" ] || fail "no window titled \"QL Vodadov\" appeared"
}

# Ends the check as failed, with the program started by start_main_window stopped.
fail() {
    echo "FAILED: $*"
    kill "$pid" 2>/dev/null
    exit 1
}

# Waits for the program to quit after WHAT was done; fails unless it quits, with status 0.
expect_quit() {
    local what=$1 status
    timeout 60 bash -c "while kill -0 $pid 2>/dev/null; do sleep 0.1; done" ||
        fail "the program did not quit on $what"
    wait "$pid"
    status=$?
    [ "$status" -eq 0 ] || fail "the program quit with status $status"
    echo "quit on $what with status 0"
}
