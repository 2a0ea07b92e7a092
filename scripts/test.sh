#!/usr/bin/env bash
# Sets up and builds the workspace, runs every test, then the sanitized tests
# and the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# The sanitized trees build at the lowest priority while the tests of build/
# run, in the time those leave the cores: many of them wait on processes,
# discovery and timers. The build's log is printed if it fails.
log=build/sanitize_build.log
setsid nice -n 19 scripts/sanitize.sh build > "$log" 2>&1 &
builder=$!
trap 'kill -- -"$builder" 2> /dev/null || true' EXIT
ctest --test-dir build --output-on-failure -j"$(nproc)"
wait "$builder" || { cat "$log"; exit 1; }
trap - EXIT
scripts/sanitize.sh test
