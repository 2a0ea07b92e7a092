# rosidl_default_generators for machines without ROS 2: provides
# rosidl_generate_interfaces() with Humble's signature. Our generator
# (ros2_runtime/rosidl_generator, installed as share/rosidl_generator) turns
# the package's .msg and .srv files into C++ headers at build time; the
# target <target>__rosidl_generator_cpp carries them and is exported as
# <pkg>::<target>__rosidl_generator_cpp in <pkg>_TARGETS.

find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_package(rosidl_runtime_cpp REQUIRED)
set(rosidl_default_generators_FOUND TRUE)
get_filename_component(ROSIDL_GENERATOR_DIR "${CMAKE_CURRENT_LIST_DIR}/../../rosidl_generator" ABSOLUTE)

# rosidl_generate_interfaces(target interface_files... [DEPENDENCIES pkg...]
#   [LIBRARY_NAME name] [SKIP_INSTALL] [SKIP_GROUP_MEMBERSHIP_CHECK] [ADD_LINTER_TESTS])
macro(rosidl_generate_interfaces target)
  cmake_parse_arguments(_rosidl "ADD_LINTER_TESTS;SKIP_INSTALL;SKIP_GROUP_MEMBERSHIP_CHECK"
    "LIBRARY_NAME" "DEPENDENCIES" ${ARGN})
  set(_rosidl_files "")
  foreach(_rosidl_file ${_rosidl_UNPARSED_ARGUMENTS})
    # Humble also takes "base_dir:relative/path"; the file is base_dir/relative/path.
    if(_rosidl_file MATCHES "^([^:]+):(.+)$")
      set(_rosidl_file "${CMAKE_MATCH_1}/${CMAKE_MATCH_2}")
    endif()
    if(NOT IS_ABSOLUTE "${_rosidl_file}")
      set(_rosidl_file "${CMAKE_CURRENT_SOURCE_DIR}/${_rosidl_file}")
    endif()
    list(APPEND _rosidl_files "${_rosidl_file}")
  endforeach()
  if(_rosidl_files STREQUAL "")
    message(FATAL_ERROR "rosidl_generate_interfaces() called without any interface files")
  endif()

  set(_rosidl_out "${CMAKE_CURRENT_BINARY_DIR}/rosidl_generator_cpp")
  set(_rosidl_command "${Python3_EXECUTABLE}" -B "${ROSIDL_GENERATOR_DIR}/generate_cpp.py"
    --package ${PROJECT_NAME} --output-dir "${_rosidl_out}")
  execute_process(COMMAND ${_rosidl_command} --list ${_rosidl_files}
    OUTPUT_VARIABLE _rosidl_headers ERROR_VARIABLE _rosidl_error RESULT_VARIABLE _rosidl_result)
  if(NOT _rosidl_result EQUAL 0)
    message(FATAL_ERROR "${_rosidl_error}")
  endif()
  string(STRIP "${_rosidl_headers}" _rosidl_headers)
  string(REPLACE "\n" ";" _rosidl_headers "${_rosidl_headers}")
  file(GLOB _rosidl_generator_sources "${ROSIDL_GENERATOR_DIR}/*.py")
  add_custom_command(OUTPUT ${_rosidl_headers}
    COMMAND ${_rosidl_command} ${_rosidl_files}
    DEPENDS ${_rosidl_files} ${_rosidl_generator_sources}
    COMMENT "Generating C++ code for ROS interfaces of ${PROJECT_NAME}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${_rosidl_headers})

  add_library(${target}__rosidl_generator_cpp INTERFACE)
  add_dependencies(${target}__rosidl_generator_cpp ${target})
  target_include_directories(${target}__rosidl_generator_cpp INTERFACE
    "$<BUILD_INTERFACE:${_rosidl_out}>"
    "$<INSTALL_INTERFACE:include/${PROJECT_NAME}>")
  target_compile_features(${target}__rosidl_generator_cpp INTERFACE cxx_std_17)
  target_link_libraries(${target}__rosidl_generator_cpp INTERFACE
    rosidl_runtime_cpp::rosidl_runtime_cpp)
  foreach(_rosidl_dep ${_rosidl_DEPENDENCIES})
    if(NOT ${_rosidl_dep}_FOUND)
      find_package(${_rosidl_dep} REQUIRED)
    endif()
    target_link_libraries(${target}__rosidl_generator_cpp INTERFACE ${${_rosidl_dep}_TARGETS})
  endforeach()

  if(NOT _rosidl_SKIP_INSTALL)
    install(DIRECTORY "${_rosidl_out}/" DESTINATION include/${PROJECT_NAME})
    foreach(_rosidl_file ${_rosidl_files})
      get_filename_component(_rosidl_dir "${_rosidl_file}" DIRECTORY)
      get_filename_component(_rosidl_dir "${_rosidl_dir}" NAME)
      install(FILES "${_rosidl_file}" DESTINATION share/${PROJECT_NAME}/${_rosidl_dir})
    endforeach()
    install(TARGETS ${target}__rosidl_generator_cpp
      EXPORT export_${target}__rosidl_generator_cpp)
    ament_export_targets(export_${target}__rosidl_generator_cpp)
  endif()
  list(APPEND _AMENT_EXPORT_BUILD_INCLUDE_DIRS "${_rosidl_out}")
  ament_export_include_directories("include/${PROJECT_NAME}")
  ament_export_dependencies(rosidl_runtime_cpp ${_rosidl_DEPENDENCIES})
endmacro()

# rosidl_get_typesupport_target(var target typesupport): the target to link
# for a package's own interfaces; every type support here is the one target.
function(rosidl_get_typesupport_target var target typesupport)
  set(${var} ${target}__rosidl_generator_cpp PARENT_SCOPE)
endfunction()

# rosidl_target_interfaces(target interface_target typesupport): the older
# form of linking a package's own interfaces, deprecated but still in Humble.
function(rosidl_target_interfaces target interface_target typesupport)
  target_link_libraries(${target} ${interface_target}__rosidl_generator_cpp)
endfunction()
