#!/usr/bin/env bash
# The manual page made by help2man against the program's --help: every option --help lists is
# described, and none of the parser's own notes came through.
#   manual_page.sh PROGRAM PAGE.gz
set -euo pipefail
program="$1"
page="$(zcat "$2" | man -l - 2>/dev/null | col -b)"
status=0
for option in $("$program" --help | sed -nE 's/^  (-[A-Za-z]),(--[a-z-]+).*/\1 \2/p'); do
    if ! grep -qe "$option" <<< "$page"; then
        echo "FAILED: $option is not in the manual page"
        status=1
    fi
done
for leftover in Excludes: REQUIRED Positionals: Needs:; do
    if grep -q "$leftover" <<< "$page"; then
        echo "FAILED: the manual page holds \"$leftover\""
        status=1
    fi
done
exit "$status"
