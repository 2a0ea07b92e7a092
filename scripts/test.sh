#!/usr/bin/env bash
# Sets up and builds the workspace, runs every test, then the sanitized tests
# and the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/sanitize.sh
