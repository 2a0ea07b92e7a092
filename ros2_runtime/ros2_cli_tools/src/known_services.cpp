#include "ros2_cli_tools/known_services.hpp"

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "brisvane_protocol/srv/arm_location.hpp"
#include "rcl_interfaces/srv/describe_parameters.hpp"
#include "rcl_interfaces/srv/get_parameter_types.hpp"
#include "rcl_interfaces/srv/get_parameters.hpp"
#include "rcl_interfaces/srv/list_parameters.hpp"
#include "ros2_cli_tools/service_call.hpp"

namespace ros2_cli_tools
{
namespace
{

void fill_arm_location(
  const YAML::Node & values, brisvane_protocol::srv::ArmLocation::Request & request)
{
  set_fields(
    values, "ArmLocation_Request", {
      {"reserved", [&](const YAML::Node & v) {request.reserved = v.as<std::string>();}},
      {"pcd_type", [&](const YAML::Node & v) {request.pcd_type = v.as<std::string>();}},
    });
}

// The parameter services that ros2 param reads: each request names parameters.
template<typename RequestT>
void fill_names(const YAML::Node & values, RequestT & request, const std::string & message_name)
{
  set_fields(
    values, message_name, {
      {"names", [&](const YAML::Node & v) {request.names = v.as<std::vector<std::string>>();}},
    });
}

void fill_get_parameters(
  const YAML::Node & values, rcl_interfaces::srv::GetParameters::Request & request)
{
  fill_names(values, request, "GetParameters_Request");
}

void fill_get_parameter_types(
  const YAML::Node & values, rcl_interfaces::srv::GetParameterTypes::Request & request)
{
  fill_names(values, request, "GetParameterTypes_Request");
}

void fill_describe_parameters(
  const YAML::Node & values, rcl_interfaces::srv::DescribeParameters::Request & request)
{
  fill_names(values, request, "DescribeParameters_Request");
}

void fill_list_parameters(
  const YAML::Node & values, rcl_interfaces::srv::ListParameters::Request & request)
{
  set_fields(
    values, "ListParameters_Request", {
      {"prefixes",
        [&](const YAML::Node & v) {request.prefixes = v.as<std::vector<std::string>>();}},
      {"depth", [&](const YAML::Node & v) {request.depth = v.as<uint64_t>();}},
    });
}

using Caller = std::function<int(const std::string &, const YAML::Node &)>;

template<typename ServiceT>
Caller caller(const std::string & package, const std::string & name, RequestFiller<ServiceT> fill)
{
  return [package, name, fill](const std::string & service_name, const YAML::Node & values) {
           return call_service<ServiceT>(package, name, service_name, values, fill);
         };
}

}  // namespace

int call_known_service(
  const std::string & service_type, const std::string & service_name, const YAML::Node & values)
{
  static const std::map<std::string, Caller> known = {
    {"brisvane_protocol/srv/ArmLocation",
      caller<brisvane_protocol::srv::ArmLocation>(
        "brisvane_protocol", "ArmLocation", &fill_arm_location)},
    {"rcl_interfaces/srv/GetParameters",
      caller<rcl_interfaces::srv::GetParameters>(
        "rcl_interfaces", "GetParameters", &fill_get_parameters)},
    {"rcl_interfaces/srv/GetParameterTypes",
      caller<rcl_interfaces::srv::GetParameterTypes>(
        "rcl_interfaces", "GetParameterTypes", &fill_get_parameter_types)},
    {"rcl_interfaces/srv/DescribeParameters",
      caller<rcl_interfaces::srv::DescribeParameters>(
        "rcl_interfaces", "DescribeParameters", &fill_describe_parameters)},
    {"rcl_interfaces/srv/ListParameters",
      caller<rcl_interfaces::srv::ListParameters>(
        "rcl_interfaces", "ListParameters", &fill_list_parameters)},
  };
  // As ros2 does, "pkg/Name" means "pkg/srv/Name".
  std::string full_type = service_type;
  const auto slash = full_type.find('/');
  if (slash != std::string::npos && full_type.find('/', slash + 1) == std::string::npos) {
    full_type.insert(slash, "/srv");
  }
  const auto entry = known.find(full_type);
  if (entry == known.end()) {
    throw std::invalid_argument("The passed service type is invalid");
  }
  return entry->second(service_name, values);
}

}  // namespace ros2_cli_tools
