// service_call <service_name> <service_type> [values]: what
// `ros2 service call` does, for the service types listed in
// known_services.cpp. values is the request as YAML, "{}" when left out.
#include <yaml-cpp/yaml.h>

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "ros2_cli_tools/known_services.hpp"

int main(int argc, char ** argv)
{
  const std::vector<std::string> args = rclcpp::init_and_remove_ros_arguments(argc, argv);
  if (args.size() < 3 || args.size() > 4) {
    std::cerr << "usage: service_call service_name service_type [values]" << std::endl;
    return 2;
  }
  YAML::Node values;
  try {
    values = YAML::Load(args.size() == 4 ? args[3] : "{}");
  } catch (const YAML::Exception & e) {
    std::cerr << "Failed to populate field: " << e.what() << std::endl;
    return 1;
  }
  int status = 1;
  try {
    status = ros2_cli_tools::call_known_service(args[2], args[1], values);
  } catch (const std::invalid_argument & e) {
    std::cerr << e.what() << std::endl;
  }
  rclcpp::shutdown();
  return status;
}
