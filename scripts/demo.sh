#!/usr/bin/env bash
# Sets up and builds the workspace, then prepares a map file from the shipped
# coloured sample cloud with pcd_frame_tool and shows the result.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
out=$(mktemp -d /tmp/brisvane_maps.XXXXXX)
build/arm_location/pcd_frame_tool arm_location/data/sample_coloured.pcd "$out"
written=$(ls "$out"/pcd_base_link_*.pcd)
echo "wrote $written"
head -n 14 "$written"
