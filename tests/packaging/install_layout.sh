#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that the programs and the desktop
# integration land where desktops look for them.
#   install_layout.sh CMAKE BUILD_DIR APP_ID [PROGRAM...]
set -euo pipefail
cmake="$1" build="$2" app_id="$3"
shift 3
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" > /dev/null

status=0
need() {
    if [ ! -s "$prefix/$1" ]; then
        echo "FAILED: $1 was not installed"
        status=1
    fi
}
for program in "$@"; do
    need "bin/$program"
    [ -x "$prefix/bin/$program" ] || { echo "FAILED: bin/$program is not executable"; status=1; }
done
need "share/applications/$app_id.desktop"
need "share/metainfo/$app_id.metainfo.xml"
need "share/mime/packages/qlvodadov.xml"
need "share/doc/qlvodadov/copyright"
need "share/doc/qlvodadov/changelog.gz"
for program in "$@"; do
    need "share/man/man1/$program.1.gz"
done
if [ -x "$prefix/bin/qlvodadov-cli" ]; then
    need "share/bash-completion/completions/qlvodadov-cli"
fi

# The launcher's icon must be one the icon theme can find.
icon="$(sed -n 's/^Icon=//p' "$prefix/share/applications/$app_id.desktop" 2>/dev/null || true)"
if [ -z "$icon" ] || [ ! -s "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ]; then
    echo "FAILED: the launcher's icon '$icon' is not in share/icons/hicolor/scalable/apps"
    status=1
fi

# Nothing but the programs, XDG data and documentation: no static libraries, headers or tests.
unexpected="$(cd "$prefix" && find . -type f \
    ! -path './share/applications/*' ! -path './share/metainfo/*' \
    ! -path './share/mime/packages/*' ! -path './share/icons/hicolor/*' \
    ! -path './share/doc/*' ! -path './share/man/*' ! -path './share/bash-completion/*' \
    $(for p in "$@"; do printf -- "! -path ./bin/%s " "$p"; done))"
if [ -n "$unexpected" ]; then
    echo "FAILED: unexpected files installed:"
    echo "$unexpected"
    status=1
fi

if [ -x "$prefix/bin/qlvodadov-cli" ]; then
    "$prefix/bin/qlvodadov-cli" --version > /dev/null \
        || { echo "FAILED: the installed qlvodadov-cli does not run"; status=1; }
fi
[ "$status" = 0 ] && (cd "$prefix" && find . -type f | sort)
exit "$status"
