# Builds the decoder's libFuzzer target with clang++ (the workspace itself
# builds with g++) and runs it for a few seconds.
#   cmake -DCLANGXX=... -DRUNTIME_SOURCE_DIR=... -DRUNTIME_BINARY_DIR=... -DWORK_DIR=...
#     -DSECONDS=... -P run_decode_fuzzer.cmake

file(GLOB generated "${RUNTIME_BINARY_DIR}/*/rosidl_generator_cpp"
  "${RUNTIME_BINARY_DIR}/rosidl_generator/test/rosidl_generator_cpp")
set(includes "-I${RUNTIME_SOURCE_DIR}/rosidl_runtime_cpp/include")
foreach(dir ${generated})
  list(APPEND includes "-I${dir}")
endforeach()

file(MAKE_DIRECTORY "${WORK_DIR}/corpus")
set(fuzzer "${WORK_DIR}/decode_fuzzer")
execute_process(
  COMMAND "${CLANGXX}" -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined
    -fno-sanitize-recover=undefined ${includes}
    "${RUNTIME_SOURCE_DIR}/rosidl_generator/fuzz/decode_fuzzer.cpp" -lfastcdr -o "${fuzzer}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "could not build the decode fuzzer")
endif()
execute_process(
  COMMAND "${fuzzer}" -max_total_time=${SECONDS} -max_len=4096 -use_value_profile=1
    -print_final_stats=1 "${WORK_DIR}/corpus"
  WORKING_DIRECTORY "${WORK_DIR}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the decode fuzzer found a fault (artifact in ${WORK_DIR})")
endif()
