#!/usr/bin/env bash
# The whole localization on the simulated bathroom: writes the scene's maps,
# starts arm_location_node with its real parameters and debug topics on, and
# for each scene state runs the simulated camera (with an error in its TF)
# and asks the node where the camera is, printing the reply, the true answer
# and the error, and writing a report picture.
#
# usage: run_demo.sh <out_dir> [program_dir...]
#   out_dir receives the maps, the logs and report_<state>.png; the program
#   directories (put before PATH) hold arm_location_node, bathroom_camera,
#   bathroom_maps and arm_location_client.
set -euo pipefail
out=$1
shift
for dir in "$@"; do
  PATH="$dir:$PATH"
done
mkdir -p "$out/maps"
export ROS_DOMAIN_ID=${ROS_DOMAIN_ID:-42}
export ROS_LOCALHOST_ONLY=1

pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill -INT "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
}
trap cleanup EXIT

# Waits up to $3 seconds for a line matching $2 in file $1.
wait_for() {
  for _ in $(seq 1 $(( $3 * 10 ))); do
    grep -q "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "timed out waiting for '$2' in $1" >&2
  return 1
}

bathroom_maps "$out/maps" > /dev/null

arm_location_node --ros-args \
  -p pcd:="$out/maps/" -p target_frame:=arm_base_link \
  -p origin_frame:=camera_depth_optical_frame -p debug:=1 \
  > "$out/node.log" 2>&1 &
node=$!
pids+=("$node")

declare -A offsets=(
  [all_close]="0.03 -0.02 0.01 2.0 -1.0 3.0"
  [all_open]="-0.04 0.01 -0.02 -3.0 2.0 -2.0"
  [cover_open]="0.02 0.04 0.0 1.0 3.0 -4.0"
)
failed=0
for state in all_close all_open cover_open; do
  read -r -a o <<< "${offsets[$state]}"
  offset="[${o[0]}, ${o[1]}, ${o[2]}, ${o[3]}, ${o[4]}, ${o[5]}]"
  bathroom_camera --ros-args -p state:="$state" -p rate:=10.0 -p "tf_offset:=$offset" \
    > "$out/camera_$state.log" 2>&1 &
  camera=$!
  pids+=("$camera")
  wait_for "$out/camera_$state.log" "publishing $state" 20
  wait_for "$out/node.log" "get intrinsic parameters:" 20
  sleep 1  # a few frames of this state reach the node
  echo "== $state (TF off by ${o[*]:0:3} m, ${o[*]:3:3} deg)"
  arm_location_client "$state" --report "$out/report_$state.png" --tf-offset "${o[@]}" \
    || failed=1
  kill -INT "$camera"
  wait "$camera" || true
done

kill -INT "$node"
status=0
wait "$node" || status=$?
pids=()
echo "arm_location_node exited with status $status"
echo "reports: $out/report_all_close.png $out/report_all_open.png $out/report_cover_open.png"
[ "$failed" = 0 ] && [ "$status" = 0 ]
