#!/bin/bash
# Starts a program in a way other than the shell does and checks that it behaves as when
# started normally: its exit status and standard output must be the same.
#
#   started_otherwise.sh valgrind SANITIZED PROGRAM ARGS...
#       under valgrind's memcheck: any invalid access, use of undefined memory or leak fails
#   started_otherwise.sh loader SANITIZED PROGRAM ARGS...
#       through the dynamic loader named in the program's PT_INTERP
#
# SANITIZED: ON in a sanitizer build, whose run-time valgrind cannot run. An argument @OUT@
# names a scratch file, which must then be written the same both ways.
# Exit status 77: skipped, with the reason on standard output.
set -u
way=$1
sanitized=$2
program=$3
shift 3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case $way in
valgrind)
    if [ "$sanitized" = ON ]; then
        echo "skipped: a sanitizer build cannot run under valgrind (the two take over the same memory)"
        exit 77
    fi
    if ! command -v valgrind > /dev/null; then
        echo "skipped: valgrind is not installed (Debian package valgrind)"
        exit 77
    fi
    starter=(valgrind --error-exitcode=1 --leak-check=full)
    ;;
loader)
    loader=$(readelf -l "$program" 2> /dev/null |
        sed -n 's/.*Requesting program interpreter: \(.*\)\]$/\1/p')
    if [ -z "$loader" ]; then
        loader=/lib64/ld-linux-x86-64.so.2
    fi
    if [ ! -x "$loader" ]; then
        echo "skipped: no dynamic loader found (tried $loader)"
        exit 77
    fi
    starter=("$loader")
    ;;
*)
    echo "unknown way to start: $way" >&2
    exit 2
    ;;
esac

# run NAME COMMAND...: runs COMMAND, an argument @OUT@ naming a file of its own.
run() {
    local name=$1 arg
    shift
    local args=()
    for arg in "$@"; do
        args+=("${arg//@OUT@/$work/$name.file}")
    done
    "${args[@]}" > "$work/$name.out" 2> "$work/$name.err"
    echo $? > "$work/$name.status"
}
run normal "$program" "$@"
run started "${starter[@]}" "$program" "$@"

status=0
if ! cmp -s "$work/normal.status" "$work/started.status"; then
    echo "exit status $(cat "$work/started.status") when started through $way," \
        "$(cat "$work/normal.status") when started normally"
    status=1
fi
if ! cmp -s "$work/normal.out" "$work/started.out"; then
    echo "standard output differs when started through $way"
    diff "$work/normal.out" "$work/started.out" | head -20
    status=1
fi
if [ -e "$work/normal.file" ] && ! cmp -s "$work/normal.file" "$work/started.file"; then
    echo "the file written differs when started through $way"
    status=1
fi
if [ "$(cat "$work/normal.status")" != 0 ]; then
    echo "the program failed even when started normally"
    status=1
fi
if [ $status != 0 ]; then
    echo "standard error when started through $way:"
    cat "$work/started.err"
fi
exit $status
