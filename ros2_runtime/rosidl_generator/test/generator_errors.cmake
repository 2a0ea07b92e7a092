# The generator refuses malformed definitions with a message naming the
# file, the line and the fault, and writes nothing for them.
#   cmake -DPYTHON=... -DGENERATOR=... -DWORK_DIR=... -P generator_errors.cmake

set(cases
  "msg/A.msg|int32 Bad_Name|p/msg/A:1: invalid field name 'Bad_Name'"
  "msg/B.msg|# comment\\nint32[2] a [1]|p/msg/B:2: array value needs 2 items: '[1]'"
  "msg/C.msg|foo/Bar[<=x] b|invalid type 'foo/Bar[<=x]'"
  "msg/D.msg|string<=3 s \"toolong\"|exceeds the string bound"
  "msg/E.msg|uint8 a 1 2|invalid uint8 value '1 2'"
  "msg/F.msg|std_msgs/Header h 1|field 'h' of a message type cannot have a default"
  "msg/G.msg|int32 a\\nint32 a|field 'a' defined twice"
  "msg/H.msg|int32 lower=1|invalid constant name 'lower'"
  "srv/I.srv|int32 a|must hold one '---' between request and response")

file(REMOVE_RECURSE "${WORK_DIR}")
foreach(case ${cases})
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 file)
  list(GET parts 1 text)
  list(GET parts 2 expected)
  string(REPLACE "\\n" "\n" text "${text}")
  file(WRITE "${WORK_DIR}/${file}" "${text}\n")
  execute_process(
    COMMAND "${PYTHON}" -B "${GENERATOR}" --package p --output-dir "${WORK_DIR}/out"
      "${WORK_DIR}/${file}"
    RESULT_VARIABLE result ERROR_VARIABLE error)
  string(FIND "${error}" "${expected}" at)
  if(result EQUAL 0 OR at EQUAL -1)
    message(FATAL_ERROR "${file}: expected failure with \"${expected}\", got ${result}: ${error}")
  endif()
endforeach()
if(EXISTS "${WORK_DIR}/out")
  message(FATAL_ERROR "headers were written for a malformed definition")
endif()
