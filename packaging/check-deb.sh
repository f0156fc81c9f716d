#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 (bookworm) root and runs it there.
#
#   packaging/check-deb.sh [PACKAGE.deb]      (as root; default: build/qlvodadov_*.deb)
#
# The first run makes a minimal bookworm root with debootstrap (a few minutes) and keeps it as
# a pristine base; every run copies that base to a new root, so each check starts clean.
# apt inside the root resolves the package's dependencies from the mirror this machine's own
# apt uses for bookworm (from /etc/apt/sources.list or /etc/apt/sources.list.d/), so no
# mirror is named here.
#
# Environment:
#   QLV_BASE_ROOT   the kept pristine root       (default /var/tmp/qlv-bookworm-base)
#   QLV_ROOT        the root the check runs in   (default /tmp/qlv-deb-check-root)
#   QLV_KEEP_ROOT   1 keeps QLV_ROOT afterwards for inspection
#   QLV_MIRROR      the Debian mirror for debootstrap (default: the one apt uses here)
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
base="${QLV_BASE_ROOT:-/var/tmp/qlv-bookworm-base}"
root="${QLV_ROOT:-/tmp/qlv-deb-check-root}"

say() { printf '\n== %s\n' "$*"; }
fail() { printf 'FAILED: %s\n' "$*" >&2; exit 1; }

# The first mirror this machine's apt has for bookworm itself (not -updates or -security).
apt_mirror() {
    local f
    {
        # One line a source: deb [OPTIONS] URI SUITE COMPONENT...
        for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            [ -r "$f" ] || continue
            awk '$1 == "deb" {
                     i = 2
                     if ($i ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }
                     if ($(i + 1) == "bookworm") { print $i; exit }
                 }' "$f"
        done
        # Stanzas of "Field: value" lines, apart by blank lines.
        for f in /etc/apt/sources.list.d/*.sources; do
            [ -r "$f" ] || continue
            awk 'BEGIN { RS = ""; FS = "\n" }
                 {
                     types = uris = suites = ""; enabled = 1
                     for (i = 1; i <= NF; i++) {
                         if ($i ~ /^Types:/) types = $i
                         else if ($i ~ /^URIs:/) uris = $i
                         else if ($i ~ /^Suites:/) suites = $i
                         else if ($i ~ /^Enabled:[ \t]*no/) enabled = 0
                     }
                     if (enabled && types ~ /[ \t]deb([ \t]|$)/ && suites ~ /[ \t]bookworm([ \t]|$)/) {
                         split(uris, u, /[ \t]+/); print u[2]; exit
                     }
                 }' "$f"
        done
    } | head -n 1
}
mirror="${QLV_MIRROR:-$(apt_mirror)}"

[ "$(id -u)" = 0 ] || fail "run as root (debootstrap, chroot and mount need it)"

if [ $# -ge 1 ]; then
    deb="$1"
else
    shopt -s nullglob
    debs=("$here"/build/qlvodadov_*.deb)
    shopt -u nullglob
    [ ${#debs[@]} -ge 1 ] || fail "no build/qlvodadov_*.deb: run 'make package' or name the .deb"
    deb="$(ls -t "${debs[@]}" | head -n 1)"
fi
[ -f "$deb" ] || fail "no such package: $deb"
deb="$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")"

case "$root" in
    /|/tmp|/var/tmp|"") fail "refusing to use '$root' as the check root" ;;
esac
case "$base" in
    /|/tmp|/var/tmp|"") fail "refusing to use '$base' as the base root" ;;
esac

# --- the pristine base ---------------------------------------------------------------------
if [ ! -x "$base/usr/bin/apt-get" ]; then
    if ! command -v debootstrap > /dev/null; then
        say "installing debootstrap"
        apt-get update -q
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap
    fi
    [ -n "$mirror" ] || fail "no bookworm mirror in this machine's apt sources: set QLV_MIRROR"
    say "debootstrap --variant=minbase bookworm $base (from $mirror)"
    rm -rf "$base.partial"
    debootstrap --variant=minbase bookworm "$base.partial" "$mirror"
    mv "$base.partial" "$base"
fi

# --- a fresh root for this run -------------------------------------------------------------
unmount_all() {
    local m
    for m in "$root/dev/pts" "$root/proc"; do
        if mountpoint -q "$m"; then umount "$m"; fi
    done
}
cleanup() {
    unmount_all
    if [ "${QLV_KEEP_ROOT:-0}" != 1 ] && [ -d "$root" ]; then
        rm -rf --one-file-system "$root"
    fi
}
if [ -d "$root" ]; then
    unmount_all
    rm -rf --one-file-system "$root"
fi
trap cleanup EXIT

say "fresh root $root from $base"
cp -a "$base" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount -t devpts devpts "$root/dev/pts" 2> /dev/null || true   # only quiets apt's log warning
cp "$deb" "$root/tmp/"
cp "$here/samples/damaged-letter.qlx" "$here/samples/damaged-letter.expected.txt" "$root/tmp/"
cp "$here/tests/packaging/completion.sh" "$root/tmp/"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

say "package: $(basename "$deb")"
dpkg-deb --field "$deb" Package Version Architecture Depends

say "apt-get install ./$(basename "$deb")  (dependencies from the mirror, no recommends)"
in_root apt-get update -q
in_root env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "/tmp/$(basename "$deb")"
in_root dpkg-query -W -f='${Package} ${Version} ${Status}\n' qlvodadov \
    | grep -q ' install ok installed$' || fail "qlvodadov is not installed"

say "qlvodadov-cli --version"
version="$(in_root qlvodadov-cli --version)"
echo "$version"
expected_version="$(dpkg-deb --field "$deb" Version)"
[ "$version" = "qlvodadov-cli $expected_version" ] \
    || fail "qlvodadov-cli says '$version', the package is $expected_version"

say "qlvodadov-cli on the bundled sample"
in_root qlvodadov-cli /tmp/damaged-letter.qlx > "$root/tmp/salvaged.txt"
cmp "$root/tmp/salvaged.txt" "$root/tmp/damaged-letter.expected.txt" \
    || fail "the salvaged text differs from the expected text"
echo "the salvaged text matches ($(wc -c < "$root/tmp/salvaged.txt") bytes)"

if in_root test -x /usr/bin/qlvodadov; then
    say "ldd qlvodadov and the Qt platform plugins"
    plugins=/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms
    for f in /usr/bin/qlvodadov "$plugins/libqxcb.so" "$plugins/libqoffscreen.so"; do
        in_root test -e "$f" || fail "$f is missing"
        missing="$(in_root ldd "$f" | grep 'not found' || true)"
        [ -z "$missing" ] || fail "$f: unresolved libraries: $missing"
        echo "$f: $(in_root ldd "$f" | wc -l) libraries, all found"
    done

    say "QT_QPA_PLATFORM=offscreen qlvodadov --version"
    status=0
    out="$(in_root env QT_QPA_PLATFORM=offscreen timeout 20 qlvodadov --version 2>&1)" || status=$?
    echo "$out"
    case "$status" in
        0) ;;
        124) echo "(no --version: the window program started and ran until stopped after 20 s)" ;;
        *) fail "qlvodadov exited with status $status" ;;
    esac
else
    say "the package has no qlvodadov (built without the window program)"
fi

say "man pages and Bash completion (man-db and bash-completion installed for them)"
in_root env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends man-db bash-completion > /dev/null
for program in qlvodadov-cli qlvodadov; do
    in_root test -x "/usr/bin/$program" || continue
    page="$(in_root env MANWIDTH=80 man -P cat "$program" 2> /dev/null)" \
        || fail "man $program finds no page"
    grep -q "^NAME" <<< "$page" && grep -q -- "--help" <<< "$page" \
        || fail "man $program shows no proper page"
    echo "man $program: $(wc -l <<< "$page") lines, $(grep -m 1 -A 1 '^NAME' <<< "$page" | tail -n 1 | sed 's/^ *//')"
done
in_root bash -c 'source /usr/share/bash-completion/bash_completion &&
                 __load_completion qlvodadov-cli && complete -p qlvodadov-cli' \
    || fail "bash-completion does not find the completion of qlvodadov-cli"
in_root bash /tmp/completion.sh /usr/share/bash-completion/completions/qlvodadov-cli \
    /usr/bin/qlvodadov-cli \
    || fail "the installed completion of qlvodadov-cli offers the wrong things"

say "desktop integration"
for f in /usr/share/applications/io.github.qlvodadov.QLVodadov.desktop \
         /usr/share/mime/packages/qlvodadov.xml \
         /usr/share/metainfo/io.github.qlvodadov.QLVodadov.metainfo.xml \
         /usr/share/icons/hicolor/scalable/apps/io.github.qlvodadov.QLVodadov.svg; do
    in_root test -s "$f" || fail "$f is missing"
    echo "$f"
done
if in_root test -f /usr/share/mime/globs2; then
    for glob in 'application/x-quillora-xml:\*\.qlx' 'application/x-quillora-light:\*\.qll'; do
        grep -q "$glob" "$root/usr/share/mime/globs2" \
            || fail "the MIME database does not know $glob"
    done
    echo "the MIME database knows *.qlx and *.qll"
fi

say "apt-get purge qlvodadov"
in_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q qlvodadov
in_root test ! -e /usr/bin/qlvodadov-cli || fail "qlvodadov-cli is still there after purge"

say "OK: $(basename "$deb") installs, runs and is removed cleanly on Debian 12"
