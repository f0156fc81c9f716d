#!/usr/bin/env bash
# Asks the Bash completion of qlvodadov-cli for what it offers, as bash-completion would
# when Tab is pressed, and checks the answers; the options offered must be exactly those the
# program's --help lists. Skipped (77) without bash-completion.
#   completion.sh COMPLETION_SCRIPT PROGRAM
set -euo pipefail
script="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
program="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
framework=/usr/share/bash-completion/bash_completion
[ -r "$framework" ] || { echo "bash-completion is not installed"; exit 77; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir folder
touch letter.qlx NOTE.QLL notes.txt image.png

# What completing the command line "$*" (the cursor at its end) offers, sorted, one a line.
offers() {
    bash -c '
        source "$1" && source "$2" && shift 2
        complete -p qlvodadov-cli > /dev/null || exit 1
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
        _qlvodadov_cli qlvodadov-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort' _ "$framework" "$script" "$@"
}

status=0
expect() {
    local what="$1" expected="$2"
    shift 2
    local got
    if ! got="$(offers "$@")"; then
        echo "FAILED: $what: the completion did not load"
        status=1
        return
    fi
    got="$(echo "$got" | tr '\n' ' ' | sed 's/ $//')"
    if [ "$got" = "$expected" ]; then
        echo "ok: $what: $got"
    else
        echo "FAILED: $what: offered [$got], expected [$expected]"
        status=1
    fi
}

# Every option in the option list of --help ("  -l,--list ..." or "  --threads N ..."), short
# and long, sorted.
help_options="$("$program" --help | sed -n '/^Options:/,/^$/p' |
    sed -nE 's/^  (-[A-Za-z]),(--[a-z-]+).*/\1\n\2/p; t; s/^  (--[a-z-]+).*/\1/p' | sort |
    tr '\n' ' ' | sed 's/ $//')"
if [ -z "$help_options" ]; then
    echo "FAILED: no options found in the output of $program --help"
    status=1
fi
expect "every option of --help" "$help_options" qlvodadov-cli -

expect "documents and folders" "NOTE.QLL folder letter.qlx" qlvodadov-cli ""
expect "long options" "--json" qlvodadov-cli --j
expect "the option list" "--output --output-dir" qlvodadov-cli --outp
expect "folders for --output-dir" "folder" qlvodadov-cli -d ""
expect "any file for --output" "NOTE.QLL folder image.png letter.qlx notes.txt" \
    qlvodadov-cli -o ""
expect "nothing for a section name" "" qlvodadov-cli -s ""
exit "$status"
