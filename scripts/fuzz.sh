#!/usr/bin/env bash
# Lets the fuzz targets (all of them, or the ones named) fuzz for SECONDS each, side by side, in
# the sanitizer build (see scripts/setup.sh sanitize). Each one starts from its seeds
# (fuzz/corpus/TARGET) and from what its earlier runs learned, and keeps what it learns and finds
# in the build: fuzz/runs/TARGET/corpus, and crash-*, leak-* or timeout-* files beside it.
# Prints each target's closing statistics; fails when a target found something.
##   scripts/fuzz.sh SECONDS [TARGET...]
# An input counts as a hang once it has used a second of processor time (fuzz/FuzzTarget.h);
# libFuzzer's own timeout, 30 s on the wall clock, only catches an input stuck waiting.
set -euo pipefail
# shellcheck source=scripts/usage.sh
. "$(dirname "$0")/usage.sh"
cd "$(dirname "$0")/.."
if ! [[ ${1-} =~ ^[0-9]+$ ]]; then
    usage >&2
    exit 2
fi
seconds=$1
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(ProfileReaderFuzzer ProfileWriterFuzzer IntegerTextFuzzer)

build=${VARNOTEL_BUILD_DIR:-build}-sanitize
# shellcheck source=scripts/build-lock.sh
. scripts/build-lock.sh
hold_build "$build"
scripts/setup.sh sanitize
pids=()
for target in "${targets[@]}"; do
    runs=$build/fuzz/runs/$target
    mkdir -p "$runs/corpus"
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
        -artifact_prefix="$runs/" "$runs/corpus" "fuzz/corpus/$target" >"$runs/log" 2>&1 &
    pids+=($!)
done
status=0
for i in "${!targets[@]}"; do
    wait "${pids[$i]}" || status=1
    runs=$build/fuzz/runs/${targets[$i]}
    echo "${targets[$i]} ($runs/log):"
    grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|SUMMARY)' "$runs/log" |
        sed 's/^/    /'
done
exit $status
