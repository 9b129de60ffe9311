#!/usr/bin/env bash
# Builds everything and runs every test (unit, widget and end-to-end tests).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cd build
ctest --output-on-failure -j2 --timeout 600
