#!/usr/bin/env bash
# Runs a validator on a data file, or skips (exit 77) when the validator is not installed.
#   validate.sh TOOL [ARG...]
tool="$1"
if ! command -v "$tool" > /dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed (Debian: desktop-file-utils or appstream)"
    exit 77
fi
exec "$@"
