#!/usr/bin/env bash
# Sets up and builds the workspace, then runs the main job: arm_location_node
# locating the simulated bathroom camera for each scene state, with the true
# pose, the error and a report picture per state.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
out=$(mktemp -d /tmp/brisvane_demo.XXXXXX)
bathroom_sim/scripts/run_demo.sh "$out" build/arm_location build/bathroom_sim
