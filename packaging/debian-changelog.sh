#!/usr/bin/env bash
# Writes the Debian changelog of the package, made from CHANGELOG.md, to OUTPUT.
#
#   debian-changelog.sh CHANGELOG.md PACKAGE VERSION "MAINTAINER <ADDRESS>" OUTPUT
#
# Fails when the newest release in CHANGELOG.md is not VERSION, so that the package never
# ships a changelog that does not describe it.
set -euo pipefail
changelog="$1" package="$2" version="$3" maintainer="$4" output="$5"

newest="$(sed -n 's/^## \([^ ]*\) (.*$/\1/p' "$changelog" | head -n 1)"
if [ "$newest" != "$version" ]; then
    echo "$changelog: the newest release is '$newest', the build is $version" >&2
    exit 1
fi

# Each "## VERSION (DATE)" becomes an entry, and each "- " item (with its indented
# continuation lines) an "  * " item, wrapped again to fit Debian's 80 columns.
item=""
item_end() {
    [ -n "$item" ] || return 0
    fmt -w 76 <<< "$item" | sed '1s/^/  * /; 2,$s/^/    /'
    item=""
}
entry_end() {
    item_end
    [ -n "$entry_version" ] || return 0
    printf '\n -- %s  %s\n' "$maintainer" "$(LC_ALL=C date -u -R -d "$entry_date")"
}
exec > "$output"
entry_version=""
entry_date=""
while IFS= read -r line; do
    if [[ "$line" =~ ^##\ ([^ ]+)\ \(([0-9]{4}-[0-9]{2}-[0-9]{2})\)$ ]]; then
        if [ -n "$entry_version" ]; then
            entry_end
            echo
        fi
        entry_version="${BASH_REMATCH[1]}"
        entry_date="${BASH_REMATCH[2]}"
        printf '%s (%s) unstable; urgency=medium\n\n' "$package" "$entry_version"
    elif [ -n "$entry_version" ] && [[ "$line" =~ ^-\ (.*)$ ]]; then
        item_end
        item="${BASH_REMATCH[1]}"
    elif [ -n "$item" ] && [[ "$line" =~ ^\ \ +(.*)$ ]]; then
        item+=" ${BASH_REMATCH[1]}"
    fi
done < "$changelog"
entry_end
