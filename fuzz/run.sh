#!/usr/bin/env bash
# Runs every fuzz target found in BIN_DIR for FUZZ_SECONDS seconds each, one after another.
#   bash fuzz/run.sh build-fuzz/bin
# Each target starts from its seed corpus in fuzz/corpus/<target>/ and writes the inputs it
# discovers to a scratch folder, so the seeds in the repository stay as they are. An input that
# breaks a target is saved under BIN_DIR/../fuzz-findings/ and the script exits non-zero.
# FUZZ_TARGETS limits the run to some targets ("fuzz_reader fuzz_tags"); FUZZ_WORK names a
# folder whose per-target scratch corpus is kept between runs (default: a temporary one).
set -uo pipefail

bin_dir=${1:?usage: run.sh BIN_DIR}
seconds=${FUZZ_SECONDS:-60}
here=$(cd "$(dirname "$0")" && pwd)
findings=$(cd "$bin_dir/.." && pwd)/fuzz-findings
mkdir -p "$findings"

if [ -n "${FUZZ_WORK:-}" ]; then
    work=$FUZZ_WORK
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

targets=${FUZZ_TARGETS:-$(cd "$bin_dir" && ls fuzz_* 2>/dev/null)}
if [ -z "$targets" ]; then
    echo "run.sh: no fuzz targets in $bin_dir" >&2
    exit 2
fi

status=0
for target in $targets; do
    seeds=$here/corpus/$target
    scratch=$work/$target
    mkdir -p "$scratch"
    [ -d "$seeds" ] || seeds=
    echo "== $target: ${seconds}s"
    # The scratch folder comes first: libFuzzer writes what it finds to the first folder only.
    if ! "$bin_dir/$target" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
            -artifact_prefix="$findings/$target-" "$scratch" ${seeds:+"$seeds"}; then
        echo "== $target: FOUND A FAULT; the input is in $findings" >&2
        status=1
    fi
done
exit $status
