#include "ros2_cli_tools/known_services.hpp"

#include <functional>
#include <map>
#include <stdexcept>
#include <string>

#include "brisvane_protocol/srv/arm_location.hpp"
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
