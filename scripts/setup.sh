#!/usr/bin/env bash
# Installs what the workspace needs from Debian 12 and builds it into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake g++ make ninja-build pkg-config python3 python3-yaml
  libfastcdr-dev clang libclang-rt-14-dev libomp-dev
  libfastrtps-dev libyaml-cpp-dev
  libeigen3-dev libpcl-dev libopencv-dev libnanoflann-dev
  libgtest-dev libbenchmark-dev
  colcon python3-colcon-core python3-colcon-cmake python3-colcon-ros
  python3-colcon-recursive-crawl python3-colcon-package-information
  python3-colcon-bash python3-colcon-library-path python3-colcon-parallel-executor
)

sudo=""
if [ "$(id -u)" != 0 ]; then
  sudo=sudo
fi
missing=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${packages[@]}" 2>&1 | grep -v '^ii ' || true)
if [ -n "$missing" ]; then
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${packages[@]}"
fi

cmake -S standalone -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
