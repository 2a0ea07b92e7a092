// Filling a request from the YAML mapping a user typed, with the
// complaints `ros2 service call` makes about fields the request lacks.
#ifndef ROS2_CLI_TOOLS__REQUEST_FIELDS_HPP_
#define ROS2_CLI_TOOLS__REQUEST_FIELDS_HPP_

#include <yaml-cpp/yaml.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>

namespace ros2_cli_tools
{

class FieldError : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

// One setter per field name, each taking the field's YAML value.
using FieldSetters = std::map<std::string, std::function<void(const YAML::Node &)>>;

// `values` is a mapping (or null for "{}"); `message_name` names the
// request type in complaints, as Python would ("ArmLocation_Request").
void set_fields(
  const YAML::Node & values, const std::string & message_name, const FieldSetters & setters);

}  // namespace ros2_cli_tools

#endif  // ROS2_CLI_TOOLS__REQUEST_FIELDS_HPP_
