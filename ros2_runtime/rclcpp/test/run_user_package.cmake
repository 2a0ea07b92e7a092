# Installs the standalone build into WORK_DIR/prefix, builds the Humble-style
# package in USER_SOURCE_DIR against that prefix alone, then runs its
# publisher and listener together: the listener must print what it got.
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DUSER_SOURCE_DIR=... -P run_user_package.cmake

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${WORK_DIR}/prefix")
run(${CMAKE_COMMAND} -S "${USER_SOURCE_DIR}" -B "${WORK_DIR}/build"
  "-DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix" -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build "${WORK_DIR}/build" -j2)
run(${CMAKE_COMMAND} --install "${WORK_DIR}/build" --prefix "${WORK_DIR}/user_prefix")

# Both at once (a pipeline runs its commands concurrently), with the
# runtime's libraries found as sourcing a ROS 2 setup script would.
set(bin "${WORK_DIR}/user_prefix/lib/depth_demo")
set(env ${CMAKE_COMMAND} -E env "LD_LIBRARY_PATH=${WORK_DIR}/prefix/lib")
execute_process(
  COMMAND ${env} timeout 20 "${bin}/depth_publisher" --ros-args -p frames:=60
  COMMAND ${env} timeout 20 "${bin}/depth_listener"
  RESULTS_VARIABLE results OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT results STREQUAL "0;0")
  message(FATAL_ERROR "publisher and listener ended with ${results}\n${out}\n${err}")
endif()
string(REGEX MATCHALL "got 1280x720 16UC1 frame camera_depth_optical_frame \\(1843200 bytes\\)"
  lines "${out}")
list(LENGTH lines count)
if(NOT count EQUAL 5)
  message(FATAL_ERROR "expected 5 images, got ${count}:\n${out}\n${err}")
endif()
message(STATUS "${out}${err}")
