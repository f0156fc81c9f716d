#!/usr/bin/env bash
# Builds a MIME database from our shared-mime-info XML alone and checks that every type in it
# came out with a glob and as a sub-class of application/xml. update-mime-database exits 0 even
# when it rejects a file or an element, so its messages are checked too.
#   mime_database.sh PACKAGE.xml
set -euo pipefail
xml="$1"
if ! command -v update-mime-database > /dev/null 2>&1; then
    echo "SKIPPED: update-mime-database is not installed (Debian: shared-mime-info)"
    exit 77
fi
db="$(mktemp -d)"
trap 'rm -rf "$db"' EXIT
mkdir "$db/packages"
cp "$xml" "$db/packages/"

log="$(update-mime-database "$db" 2>&1)"
if grep -E -i 'error|failed|warning' <<< "$log"; then
    echo "FAILED: update-mime-database complained about $xml"
    exit 1
fi

types="$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$xml")"
[ -n "$types" ] || { echo "FAILED: no <mime-type> in $xml"; exit 1; }
status=0
for type in $types; do
    grep -qx "$type" "$db/types" || { echo "FAILED: $type is not in the database"; status=1; }
    grep -qx "$type application/xml" "$db/subclasses" \
        || { echo "FAILED: $type is not a sub-class of application/xml"; status=1; }
    grep -q "^[0-9]*:$type:\*\.[^:]*$" "$db/globs2" \
        || { echo "FAILED: $type has no *.extension glob"; status=1; }
done
[ "$status" = 0 ] && echo "ok:" $types
exit "$status"
