# rosidl_default_runtime for machines without ROS 2: what generated
# interfaces need at run time is header-only and comes with each interface
# package's own targets.
set(rosidl_default_runtime_FOUND TRUE)
