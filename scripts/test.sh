#!/usr/bin/env bash
# Builds everything and runs every test (unit, widget and end-to-end tests). Then builds the
# unit and widget tests and the fuzz targets once more, with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs them there: the tests, each fuzz target over its seeds,
# and each fuzz target for a minute. Its last line counts every test of both builds together,
# "N passed, M failed" (", K skipped" when any were), with the skipped tests and their reasons
# above it; it exits non-zero when anything failed, a build included.
#
##   scripts/test.sh          installs what is missing, builds in ./build and ./build-sanitize
##                            (or $VARNOTEL_BUILD_DIR and its name with "-sanitize") and tests
##   scripts/test.sh --help   this text
set -uo pipefail
# shellcheck source=scripts/usage.sh
. "$(dirname "$0")/usage.sh"
takes_no_arguments "$@"
cd "$(dirname "$0")/.."
build=${VARNOTEL_BUILD_DIR:-build}

# shellcheck source=scripts/build-lock.sh
. scripts/build-lock.sh
passed=0
failed=0
skipped=0
skips=()
failures=()
broken=()

# Runs the tests of one build folder and adds them to the totals: CTest counts a skipped test
# among the passed ones and lists it under "did not run"; the reason is the line that follows
# GoogleTest's "Skipped" in the test's output.
run_tests() {
    local dir=$1 log=$1/ctest.log line total fails name reason
    (cd "$dir" && ctest --output-on-failure --no-tests=error -j2 --timeout 600) 2>&1 | tee "$log"
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+$' "$log" | tail -n 1)
    if [ -z "$line" ]; then
        failed=$((failed + 1))
        broken+=("the tests of $dir did not run to their end")
        return
    fi
    fails=${line#*, }
    fails=${fails%% *}
    total=${line##* }
    local -A reasons=()
    if [ -f "$dir/Testing/Temporary/LastTest.log" ]; then
        while IFS=$'\t' read -r name reason; do
            reasons[$name]=$reason
        done < <(awk '/^[0-9]+\/[0-9]+ Test: / { sub(/^[0-9]+\/[0-9]+ Test: /, ""); name = $0 }
                      next_is_reason { print name "\t" $0; next_is_reason = 0 }
                      /: Skipped$/ { next_is_reason = 1 }' "$dir/Testing/Temporary/LastTest.log")
    fi
    # A line of CTest's lists reads "  N - NAME (STATUS)", and newer CTest adds the test's labels
    # after it ("  N - NAME (Failed)  e2e").
    local entry='^\s*[0-9]* - \(.*\) (\([^()]*\))\(\s\+[^()]*\)\{0,1\}$'
    local here=0
    while read -r name; do
        here=$((here + 1))
        reason=${reasons[$name]:-}
        skips+=("$name ($dir): ${reason:-no reason given}")
    done < <(sed -n "/^The following tests did not run:/,/^\$/{/(Skipped)/s/$entry/\\1/p}" "$log")
    while IFS=$'\t' read -r name reason; do
        failures+=("$name ($dir): $reason")
    done < <(sed -n "/^The following tests FAILED:/,/^\$/s/$entry/\\1\\t\\2/p" "$log")
    skipped=$((skipped + here))
    passed=$((passed + total - fails - here))
    failed=$((failed + fails))
}

# A build that fails counts as one failure, and the tests that it would have run are not run.
# The folder is held from its build to the end of its tests: they run programmes built there.
build_and_test() {
    local what=$1 dir=$2
    hold_build "$dir"
    if scripts/setup.sh "$what"; then
        run_tests "$dir"
    else
        failed=$((failed + 1))
        broken+=("scripts/setup.sh $what failed: the tests of $dir did not run")
    fi
    release_build
}

build_and_test all "$build"
build_and_test sanitize "$build-sanitize"

echo
if [ ${#skips[@]} -gt 0 ]; then
    echo "Skipped:"
    printf '  %s\n' "${skips[@]}"
fi
if [ ${#failures[@]} -gt 0 ]; then
    echo "Failed:"
    printf '  %s\n' "${failures[@]}"
fi
if [ ${#broken[@]} -gt 0 ]; then
    echo "Not run:"
    printf '  %s\n' "${broken[@]}"
fi
summary="$passed passed, $failed failed"
[ "$skipped" -gt 0 ] && summary+=", $skipped skipped"
echo "$summary"
[ "$failed" -eq 0 ]
