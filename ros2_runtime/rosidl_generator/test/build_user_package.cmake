# Installs the standalone build into WORK_DIR/prefix, then configures,
# builds and runs the user package in USER_SOURCE_DIR against that prefix
# alone, as a Humble package is built against /opt/ros/humble.
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DUSER_SOURCE_DIR=... -P build_user_package.cmake

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}")
  endif()
  message(STATUS "${out}")
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${WORK_DIR}/prefix")
run(${CMAKE_COMMAND} -S "${USER_SOURCE_DIR}" -B "${WORK_DIR}/build"
  "-DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix" -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build "${WORK_DIR}/build" -j2)
run(${CMAKE_COMMAND} --install "${WORK_DIR}/build" --prefix "${WORK_DIR}/user_prefix")
run("${WORK_DIR}/user_prefix/lib/depth_user/depth_wire_check")
run("${WORK_DIR}/user_prefix/lib/depth_user/depth_targets_check")
