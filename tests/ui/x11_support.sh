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
