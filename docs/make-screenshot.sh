#!/usr/bin/env bash
# Makes docs/screenshot.png: the main window under Xvfb after the bundled sample has been
# opened, its list filtered and the first section it lists selected.
#
#   docs/make-screenshot.sh [PROGRAM]      (default: build/bin/qlvodadov)
#
# Needs xvfb-run, xdotool and ImageMagick's import, and a colour emoji font for the section
# names that hold emoji (installed here when missing, as root).
set -euo pipefail

emoji_font=fonts-noto-color-emoji
if ! dpkg-query -W -f '${Status}' "$emoji_font" 2>/dev/null | grep -q 'ok installed'; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Without an emoji font a section name's emoji shows as an empty box. Run:" >&2
        echo "  sudo apt-get install $emoji_font" >&2
        exit 1
    fi
    apt-get install -y "$emoji_font"
fi

root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$root/build/bin/qlvodadov}")
sample=$root/samples/damaged-letter.qlx
output=$root/docs/screenshot.png

if [ "${2:-}" != --inside ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$program" --inside
fi

export QT_QPA_PLATFORM=xcb
# A document named on the command line opens as if it had been dropped on the list.
"$program" "$sample" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

window=$(timeout 60 xdotool search --sync --onlyvisible --name '^QL Vodadov$' | head -n 1)
xdotool windowfocus --sync "$window"

# Into the empty part of the list, which gives it the focus without selecting a row; then the
# keyboard selects the first row. Finally the pointer rests over the text, which brings the
# buttons up to date.
xdotool mousemove --window "$window" 97 370 click 1
xdotool key Down Up
# The filter narrows the list to the sections that hold a phrase; choosing the first of them
# opens the find bar at the phrase in its text.
xdotool key ctrl+shift+f
xdotool type --delay 50 grand
xdotool mousemove --window "$window" 97 370 click 1
xdotool key Down Up
xdotool mousemove --window "$window" 380 250
sleep 1  # let the window repaint before it is captured

import -window "$window" "$output"
echo "wrote $output"
xdotool key ctrl+q
wait "$pid"
trap - EXIT
