// A node's parameters: declared values with their descriptors, the
// overrides they start from, and rclcpp's rules for declaring and setting.
#ifndef RCLCPP__DETAIL__NODE_PARAMETERS_HPP_
#define RCLCPP__DETAIL__NODE_PARAMETERS_HPP_

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/parameter.hpp"

namespace rclcpp
{
namespace detail
{

class NodeParameters
{
public:
  NodeParameters(std::map<std::string, ParameterValue> overrides, bool allow_undeclared);

  const ParameterValue & declare_parameter(
    const std::string & name, const ParameterValue & default_value,
    const rcl_interfaces::msg::ParameterDescriptor & descriptor, bool ignore_override);
  const ParameterValue & declare_parameter(
    const std::string & name, ParameterType type,
    const rcl_interfaces::msg::ParameterDescriptor & descriptor, bool ignore_override);
  void undeclare_parameter(const std::string & name);
  bool has_parameter(const std::string & name) const;

  Parameter get_parameter(const std::string & name) const;
  bool get_parameter(const std::string & name, Parameter & parameter) const;
  rcl_interfaces::msg::SetParametersResult set_parameter(const Parameter & parameter);

  const std::map<std::string, ParameterValue> & overrides() const {return overrides_;}

private:
  struct Info
  {
    ParameterValue value;
    rcl_interfaces::msg::ParameterDescriptor descriptor;
  };

  const ParameterValue & declare(
    const std::string & name, ParameterType type, const ParameterValue & default_value,
    rcl_interfaces::msg::ParameterDescriptor descriptor, bool ignore_override);

  mutable std::recursive_mutex mutex_;
  std::map<std::string, ParameterValue> overrides_;
  bool allow_undeclared_;
  std::map<std::string, Info> parameters_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__NODE_PARAMETERS_HPP_
