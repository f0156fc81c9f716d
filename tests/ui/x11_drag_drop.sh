#!/usr/bin/env bash
# A real drag and drop between two X clients: drag_source drags DOCUMENT onto the Sections
# list of the program, as a file manager would. The drop must be taken as a copy, and Save All
# (Ctrl+S, then the real save dialog) must then write exactly what qlvodadov-cli writes for the
# same document, its sections in the order `qlvodadov-cli --list` gives. A file that is no
# document, dragged on afterwards, must bring up the refusal in a real message box, which
# Return dismisses, and change nothing: Save All still writes DOCUMENT's sections.
set -uo pipefail

usage="usage: x11_drag_drop.sh PROGRAM DRAG_SOURCE CLI DOCUMENT"
program=${1:?$usage}
drag_source=${2:?$usage}
cli=${3:?$usage}
document=${4:?$usage}

source "$(dirname "$0")/x11_support.sh"
run_inside_xvfb 1280x800x24 "$0" "$@"
work=$(mktemp -d)
pids=()

finish() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap finish EXIT

fail() {
    echo "FAILED: $*"
    exit 1
}

# The guards of 60 s below only end a check that hangs; nothing is timed.
window_named() {
    timeout 60 xdotool search --sync --onlyvisible --name "$1" | head -n 1
}

wait_for_exit() {
    timeout 60 bash -c "while kill -0 $1 2>/dev/null; do sleep 0.1; done"
}

# Another X client drags FILE onto the list and lets go once the list has offered to take it
# as a copy. The drag goes around the main window and into the list from below, so that the
# list is the only place on the way that takes drops; in steps, as a hand moves.
drag_onto_list() {
    local file=$1 out="$work/drag_source.out"
    "$drag_source" "$file" >"$out" &
    local source_pid=$!
    pids+=("$source_pid")
    local source
    source=$(window_named '^QLV drag source$')
    [ -n "$source" ] || fail "the drag source's window did not appear"
    xdotool windowmove --sync "$source" 700 0 || fail "could not move the drag source"

    eval "$(xdotool getwindowgeometry --shell "$main")"
    # The list is 155 wide from x = 20 and runs from 75 to 380 below the menu bar: (97, 200)
    # from the window's top-left corner is on it for any menu bar up to 125 high.
    local target_x=$((X + 97)) target_y=$((Y + 200)) below=$((Y + HEIGHT + 60))
    eval "$(xdotool getwindowgeometry --shell "$source")"
    local start_x=$((X + 100)) start_y=$((Y + 100))
    local path=("$start_x $start_y" "$start_x $below" "$target_x $below" "$target_x $target_y")

    xdotool mousemove --sync "$start_x" "$start_y"
    xdotool mousedown 1
    local leg step from_x from_y to_x to_y
    for leg in 1 2 3; do
        read -r from_x from_y <<<"${path[leg - 1]}"
        read -r to_x to_y <<<"${path[leg]}"
        for step in $(seq 1 10); do
            xdotool mousemove --sync $((from_x + (to_x - from_x) * step / 10)) \
                $((from_y + (to_y - from_y) * step / 10))
            sleep 0.05
        done
    done
    local offered=no wiggle
    for wiggle in $(seq 1 600); do
        if grep -q '^offered: 1$' "$out"; then
            offered=yes
            break
        fi
        xdotool mousemove --sync $((target_x + wiggle % 2)) "$target_y"
        sleep 0.1
    done
    [ "$offered" = yes ] || fail "the list never offered to take $file as a copy"
    xdotool mouseup 1

    wait_for_exit "$source_pid" || fail "the drag source did not finish"
    wait "$source_pid"
    local status=$?
    cat "$out"
    [ "$status" -eq 0 ] || fail "the drop of $file was not taken as a copy (status $status)"
    [ -f "$file" ] || fail "the dragged file $file is gone"
}

# Save All by its shortcut and the real save dialog, into the new file $saved.
save_all() {
    saved="$work/saved by the window $1.txt"
    xdotool windowfocus --sync "$main" || fail "could not focus the main window"
    xdotool key --clearmodifiers ctrl+s
    local dialog
    dialog=$(window_named '^Save')
    [ -n "$dialog" ] || fail "Ctrl+S showed no save dialog"
    xdotool windowfocus --sync "$dialog" || fail "could not focus the save dialog"
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 20 "$saved"
    xdotool key Return
    timeout 60 bash -c "until [ -f \"$saved\" ]; do sleep 0.1; done" ||
        fail "Save All wrote no file"
}

"$program" &
program_pid=$!
pids+=("$program_pid")
main=$(window_named '^QL Vodadov$')
[ -n "$main" ] || fail "no window titled \"QL Vodadov\" appeared"
# There is no window manager, so a window's origin is its content's origin.
xdotool windowmove --sync "$main" 0 0 || fail "could not move the main window"

"$cli" "$document" >"$work/expected.txt" || fail "qlvodadov-cli could not read $document"
"$cli" --list "$document" >"$work/names.txt" || fail "qlvodadov-cli --list failed"

drag_onto_list "$document"
save_all first
cmp "$saved" "$work/expected.txt" || fail "Save All wrote other bytes than qlvodadov-cli"
grep -a '^Section: ' "$saved" | sed 's/^Section: //' | cmp - "$work/names.txt" ||
    fail "the saved sections are not in the order qlvodadov-cli --list gives"
echo "dropped and saved: $(wc -l <"$work/names.txt") sections, $(wc -c <"$saved") bytes"

# A file that is no document: the message box has the main window's title.
printf 'no document\n' >"$work/not a document.qlx"
drag_onto_list "$work/not a document.qlx"
box=""
for _ in $(seq 1 600); do
    box=$(xdotool search --onlyvisible --name '^QL Vodadov$' | grep -vx "$main" | head -n 1)
    [ -n "$box" ] && break
    sleep 0.1
done
[ -n "$box" ] || fail "a refused file brought up no message"
xdotool windowfocus --sync "$box" || fail "could not focus the message"
xdotool key Return
timeout 60 bash -c "while xdotool search --onlyvisible --name '^QL Vodadov\$' | grep -vxq $main
    do sleep 0.1; done" || fail "Return did not dismiss the message"
save_all again
cmp "$saved" "$work/expected.txt" || fail "after a refused file, Save All wrote something else"
echo "refused a file that is no document; the sections shown stayed"

xdotool windowfocus --sync "$main" || fail "could not focus the main window to quit"
xdotool key --clearmodifiers ctrl+q
wait_for_exit "$program_pid" || fail "the program did not quit on Ctrl+Q"
wait "$program_pid"
status=$?
[ "$status" -eq 0 ] || fail "the program quit with status $status"
echo "quit with status 0"
