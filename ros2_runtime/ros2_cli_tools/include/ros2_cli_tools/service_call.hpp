// One call of a service, as `ros2 service call` makes it: a node named
// _ros2cli_requester_<pkg>_<Name>, wait for the server (saying so when it
// is not there yet), one request, and the response printed when it comes.
#ifndef ROS2_CLI_TOOLS__SERVICE_CALL_HPP_
#define ROS2_CLI_TOOLS__SERVICE_CALL_HPP_

#include <yaml-cpp/yaml.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "rclcpp/rclcpp.hpp"
#include "ros2_cli_tools/request_fields.hpp"

namespace ros2_cli_tools
{

// Fills ServiceT's request from the user's YAML; throws FieldError.
template<typename ServiceT>
using RequestFiller = void (*)(const YAML::Node &, typename ServiceT::Request &);

// Returns the process's exit status.
template<typename ServiceT>
int call_service(
  const std::string & package, const std::string & name, const std::string & service_name,
  const YAML::Node & values, RequestFiller<ServiceT> fill)
{
  auto request = std::make_shared<typename ServiceT::Request>();
  try {
    fill(values, *request);
  } catch (const FieldError & e) {
    std::cerr << "Failed to populate field: " << e.what() << std::endl;
    return 1;
  }
  auto node = std::make_shared<rclcpp::Node>("_ros2cli_requester_" + package + "_" + name);
  auto client = node->create_client<ServiceT>(service_name);
  if (!client->service_is_ready()) {
    std::cout << "waiting for service to become available..." << std::endl;
    if (!client->wait_for_service()) {
      return 1;  // shut down while waiting
    }
  }
  std::cout << "requester: making request: " << to_yaml(*request, true) << "\n" << std::endl;
  auto result = client->async_send_request(request);
  if (rclcpp::spin_until_future_complete(node, result) != rclcpp::FutureReturnCode::SUCCESS) {
    return 1;
  }
  std::cout << "response:\n" << to_yaml(*result.get()) << std::endl;
  return 0;
}

}  // namespace ros2_cli_tools

#endif  // ROS2_CLI_TOOLS__SERVICE_CALL_HPP_
