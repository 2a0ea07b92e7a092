#!/usr/bin/env bash
# A Humble user's flow against an install of this build: install the
# prefix, build the Humble-style package in USER_SOURCE_DIR with colcon
# with nothing but the prefix's setup.bash sourced, then run its publisher
# (the workspace's setup.bash sourced, which chains the prefix's) and its
# listener (the prefix's POSIX setup.sh alone): the listener must print
# what it got.
#   run_user_package.sh BUILD_DIR WORK_DIR USER_SOURCE_DIR
set -euo pipefail
build_dir=$1 work_dir=$2 user_source_dir=$3

rm -rf "$work_dir"
cmake --install "$build_dir" --prefix "$work_dir/prefix" > /dev/null
mkdir -p "$work_dir/ws/src"
cp -r "$user_source_dir" "$work_dir/ws/src/depth_demo"

# Each step in an environment of its own: nothing from this one leaks in.
clean() {
  env -i HOME="$HOME" PATH=/usr/bin:/bin ROS_DOMAIN_ID="$ROS_DOMAIN_ID" \
    ROS_LOCALHOST_ONLY=1 RCUTILS_COLORIZED_OUTPUT=0 "$@"
}

clean bash -c "source '$work_dir/prefix/setup.bash' && cd '$work_dir/ws' && colcon build" \
  > "$work_dir/colcon.log" 2>&1 || { cat "$work_dir/colcon.log"; exit 1; }

bin="$work_dir/ws/install/depth_demo/lib/depth_demo"
clean timeout 20 sh -c ". '$work_dir/prefix/setup.sh' && '$bin/depth_listener'" \
  > "$work_dir/listener.out" 2>&1 &
listener=$!
clean timeout 20 bash -c \
  "source '$work_dir/ws/install/setup.bash' && '$bin/depth_publisher' --ros-args -p frames:=60" \
  > "$work_dir/publisher.out" 2>&1 || { cat "$work_dir/publisher.out"; exit 1; }
wait "$listener" || { cat "$work_dir/listener.out"; exit 1; }

got=$(grep -c "got 1280x720 16UC1 frame camera_depth_optical_frame (1843200 bytes)" \
  "$work_dir/listener.out" || true)
if [ "$got" != 5 ]; then
  echo "expected 5 images, got $got:"
  cat "$work_dir/listener.out"
  exit 1
fi
cat "$work_dir/listener.out"
