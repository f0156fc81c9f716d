#!/usr/bin/env bash
# Times qlvodadov-cli against `wc -l` and a Python peer on generated documents and prints the
# table that docs/PERFORMANCE.md keeps. Not part of `make test`: it takes minutes and needs
# about 3 GiB of room for documents.
#
#   bash bench/compare.sh [--quick] [--runs N] [--sizes 100M,1G] [--no-hostile]
#   BEFORE=<commit> bash bench/compare.sh --goals [--quick] [--runs N]
#
# Environment: BUILD_DIR (default build), WORK_DIR (default a fresh folder under /tmp),
# BEFORE: a commit whose qlvodadov-cli is built in the work folder and timed beside this one.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build_dir=${BUILD_DIR:-$here/../build}
cli=$build_dir/bin/qlvodadov-cli
if [[ ! -x $cli ]]; then
    echo "compare.sh: $cli is missing; build first (make build)" >&2
    exit 1
fi

work=${WORK_DIR:-}
if [[ -z $work ]]; then
    work=$(mktemp -d /tmp/qlv-bench-XXXXXX)
    trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work"

needed_kib=$((4 * 1024 * 1024))
[[ " $* " == *" --quick "* ]] && needed_kib=$((256 * 1024))
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if ((free_kib < needed_kib)); then
    echo "compare.sh: $work has $((free_kib / 1024)) MiB free, $((needed_kib / 1024)) MiB needed" >&2
    exit 1
fi

before=()
if [[ -n ${BEFORE:-} ]]; then
    # The earlier build is made from the commit alone, apart from this tree and its build.
    # A WORK_DIR kept between runs keeps that build too.
    source_dir=$work/before-source
    commit=$(git -C "$here/.." rev-parse "$BEFORE")
    if [[ $(cat "$source_dir/.commit" 2>/dev/null) != "$commit" ]]; then
        rm -rf "$source_dir" && mkdir -p "$source_dir"
        git -C "$here/.." archive "$commit" | tar -x -C "$source_dir"
        echo "  building qlvodadov-cli at $BEFORE" >&2
        cmake -S "$source_dir" -B "$source_dir/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DBUILD_TESTING=OFF > "$work/before-build.log"
        cmake --build "$source_dir/build" --target qlvodadov-cli >> "$work/before-build.log"
        echo "$commit" > "$source_dir/.commit"
    fi
    before=(--before "$source_dir/build/bin/qlvodadov-cli")
fi

python3 "$here/compare.py" --cli "$cli" --work "$work" "${before[@]}" "$@"
