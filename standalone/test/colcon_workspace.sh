#!/usr/bin/env bash
# The repository as a Humble user builds it: cloned into a workspace's src/,
# built with colcon against the ROS 2 runtime's installed prefix alone (not
# the packages this build made), with nothing but the prefix's setup.bash
# sourced. colcon orders the packages by their package.xml, so a dependency
# left undeclared fails here. Then a program of the workspace runs with the
# workspace's setup.bash, which chains the prefix's.
#   colcon_workspace.sh BUILD_DIR WORK_DIR WORKSPACE_ROOT
set -euo pipefail
build_dir=$1 work_dir=$2 root=$3

rm -rf "$work_dir"
cmake --install "$build_dir/ros2_runtime" --prefix "$work_dir/ros2" > /dev/null
mkdir -p "$work_dir/ws/src"
ln -s "$root" "$work_dir/ws/src/brisvane"

clean() {
  env -i HOME="$HOME" PATH=/usr/bin:/bin "$@"
}

clean bash -c "source '$work_dir/ros2/setup.bash' && cd '$work_dir/ws' &&
  colcon build --cmake-args -DBUILD_TESTING=OFF" \
  > "$work_dir/colcon.log" 2>&1 || { cat "$work_dir/colcon.log"; exit 1; }

mkdir "$work_dir/maps"
clean bash -c "source '$work_dir/ws/install/setup.bash' &&
  '$work_dir/ws/install/arm_location/lib/arm_location/pcd_frame_tool' \
    '$root/arm_location/data/sample_coloured.pcd' '$work_dir/maps'"
ls "$work_dir"/maps/pcd_base_link_*.pcd
