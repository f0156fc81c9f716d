#!/usr/bin/env bash
# Builds the Debian package into a scratch folder and lets lintian judge it: any error or
# warning fails. Skipped (77) where lintian is missing.
#   lintian.sh CPACK_CONFIG
set -euo pipefail
config="$1"
command -v lintian > /dev/null || { echo "lintian is not installed"; exit 77; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cpack --config "$config" -G DEB -B "$work" > "$work/cpack.log" \
    || { cat "$work/cpack.log"; exit 1; }
deb="$(find "$work" -maxdepth 1 -name '*.deb' | head -n 1)"
[ -n "$deb" ] || { echo "FAILED: cpack made no .deb"; cat "$work/cpack.log"; exit 1; }

echo "lintian $(basename "$deb")"
lintian --fail-on error,warning --display-info "$deb"
