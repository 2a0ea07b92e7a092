// The service types service_call can call, by their ROS names.
#ifndef ROS2_CLI_TOOLS__KNOWN_SERVICES_HPP_
#define ROS2_CLI_TOOLS__KNOWN_SERVICES_HPP_

#include <yaml-cpp/yaml.h>

#include <string>

namespace ros2_cli_tools
{

// Calls `service_name` of type `service_type` ("pkg/srv/Name" or
// "pkg/Name") with the request `values`; returns the exit status. Throws
// std::invalid_argument for a type it does not know.
int call_known_service(
  const std::string & service_type, const std::string & service_name, const YAML::Node & values);

}  // namespace ros2_cli_tools

#endif  // ROS2_CLI_TOOLS__KNOWN_SERVICES_HPP_
