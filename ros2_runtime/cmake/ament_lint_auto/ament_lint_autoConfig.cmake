# ament_lint_auto for machines without ROS 2: packages made by
# "ros2 pkg create" call it in their test section. The ROS 2 linters are not
# here, so it adds no tests.
set(ament_lint_auto_FOUND TRUE)

macro(ament_lint_auto_find_test_dependencies)
endmacro()
