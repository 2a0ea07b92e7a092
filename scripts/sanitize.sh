#!/usr/bin/env bash
# Builds the tests of the ROS 2 runtime, the registration engine, the node and
# pcd_frame_tool again with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-sanitize/ and runs them there, with a
# short run of each libFuzzer target; then the tests that run threads (the
# executor, services, the TF listener, the node's depth buffer, the engine's
# OpenMP regions) with ThreadSanitizer from build-tsan/. A report fails the
# run. Run after scripts/setup.sh, which installs what this needs.
set -euo pipefail
cd "$(dirname "$0")/.."

tests=(
  test_arguments test_names test_parameters test_yaml test_wait_for_message test_graph
  test_logging test_executor test_parameter_service test_malformed_payload test_image_transport
  test_service_calls test_service_processes test_service_wire
  test_features test_malformed test_round_trip test_wire_form
  test_time_cache test_buffer_core test_tf2_ros_buffer test_tf2_ros_listener
  test_static_transform_publisher
  test_cv_bridge test_pcl_conversions test_pcl_ros_transforms
  test_covariances test_neighbour_grid test_target_cache test_registration
  test_depth_cloud test_pcd_frame_tool test_arm_location_node
)
fuzzers=(map_file depth_frame request)

# The null check is off: PCL 1.13's fromPCLPointCloud2 takes &cloud[0] of a
# cloud of no points before copying zero bytes, so every read of a PCD file
# that declares none binds a reference to null in PCL's header, and neither
# GCC's nor clang's runtime took a suppression for it. A read through null
# still faults.
flags="-O1 -gline-tables-only -fno-omit-frame-pointer -fsanitize=address,undefined"
flags+=" -fno-sanitize=null -fno-sanitize-recover=all"
# Ninja builds the named targets side by side; make's top-level makefile
# takes them one at a time, each alone on the cores.
CC=clang CXX=clang++ cmake -G Ninja -S standalone -B build-sanitize -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined \
  -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined
cmake --build build-sanitize -j"$(nproc)" --target "${tests[@]}" "${fuzzers[@]/%/_fuzzer}"

# The node tests' maps, written by build/'s bathroom_maps: the simulator,
# instrumented, would take a minute of each run to write them.
ARM_LOCATION_TEST_MAPS=$(mktemp -d)
export ARM_LOCATION_TEST_MAPS
trap 'rm -rf "$ARM_LOCATION_TEST_MAPS"' EXIT
build/bathroom_sim/bathroom_maps "$ARM_LOCATION_TEST_MAPS" > /dev/null

# Fast DDS 2.9 frees some of its writers' parts through a base type of
# another size (new-delete-type-mismatch inside libfastrtps); that check is off.
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:new_delete_type_mismatch=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# The node's test runs as two halves, test_arm_location_node_0 and _1, which
# the exact names leave to its own run below.
pattern="^($(IFS='|'; echo "${tests[*]} ${fuzzers[*]/#/fuzz_}" | tr ' ' '|'))\$"
ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)" -R "$pattern"
# The node's input handling, without the accuracy cases that only repeat the
# engine's work, which the sanitizers slow several times over, and without
# the eight clients, whose 400 requests queue behind registrations that slow.
GTEST_FILTER='-*LocatesTheCameraWithinTwoMillimetres*:*AnswersUnreliableOnlyPastTheLimits*:*EightClients*' \
  ctest --test-dir build-sanitize --output-on-failure -j2 -R '^test_arm_location_node_[01]$'

# ThreadSanitizer. The engine's parallel regions run on LLVM's OpenMP runtime
# with its Archer tool, which tells the sanitizer what OpenMP's barriers and
# reductions order.
tsan_tests=(
  test_executor test_wait_for_message test_graph test_logging test_parameter_service
  test_image_transport test_service_calls test_service_processes test_service_wire
  test_tf2_ros_buffer test_tf2_ros_listener
  test_covariances test_neighbour_grid test_target_cache test_registration
  test_depth_cloud test_arm_location_node
)
flags="-O1 -gline-tables-only -fno-omit-frame-pointer -fsanitize=thread"
CC=clang CXX=clang++ cmake -G Ninja -S standalone -B build-tsan -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread
cmake --build build-tsan -j"$(nproc)" --target "${tsan_tests[@]}"

export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1"
TSAN_OPTIONS+=":suppressions=$PWD/scripts/tsan_suppressions.txt"
export OMP_TOOL_LIBRARIES=/usr/lib/llvm-14/lib/libarcher.so
pattern="^($(IFS='|'; echo "${tsan_tests[*]}"))\$"
ctest --test-dir build-tsan --output-on-failure -j"$(nproc)" -R "$pattern"
# The node's threads: its executor, TF listener and depth buffer, with
# publishers that come and go and signals in a request. Registration runs
# tens of times slower here, so the many-request cases stay with the
# other builds.
GTEST_FILTER='*Restarted*:*StartedAfter*:*Sigterm*:*TakesTheTfAtTheImagesStamp*' \
  ctest --test-dir build-tsan --output-on-failure -j2 -R '^test_arm_location_node_[01]$'
