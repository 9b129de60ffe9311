#!/usr/bin/env bash
# Builds everything and runs every test (unit, widget and end-to-end tests). Then builds the
# unit and widget tests and the fuzz targets once more, with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs them there: the tests, each fuzz target over its seeds,
# and each fuzz target for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VARNOTEL_BUILD_DIR:-build}
scripts/setup.sh all
(cd "$build" && ctest --output-on-failure --no-tests=error -j2 --timeout 600)
scripts/setup.sh sanitize
cd "$build-sanitize"
ctest --output-on-failure --no-tests=error -j2 --timeout 600
