#!/usr/bin/env bash
# Builds everything and runs every test (unit, widget and end-to-end tests).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh all
cd "${VARNOTEL_BUILD_DIR:-build}"
ctest --output-on-failure --no-tests=error -j2 --timeout 600
