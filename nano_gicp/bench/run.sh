#!/usr/bin/env bash
# Sets up the workspace, adds Open3D, builds the engine comparison and
# prints its tables: on synthetic clouds, then from many starts around the
# simulated realistic bathroom's views (arm_location's basin_bench, five
# starts per size, Open3D beside the engine). Pass --quick for one request
# per engine and five displacements per size instead of fifty.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/setup.sh

sudo=""
if [ "$(id -u)" != 0 ]; then
  sudo=sudo
fi
if ! dpkg-query -W -f='${db:Status-Abbrev}' libopen3d-dev 2>/dev/null | grep -q '^ii'; then
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends libopen3d-dev
fi

cmake -S standalone -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j2 --target nano_gicp_bench basin_bench
build/nano_gicp/nano_gicp_bench "$@"
build/arm_location/basin_bench --open3d --starts 5
