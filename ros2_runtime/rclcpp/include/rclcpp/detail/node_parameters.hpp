// A node's parameters: declared values with their descriptors, the
// overrides they start from, rclcpp's rules for declaring and setting, and
// the parameter event each change makes.
#ifndef RCLCPP__DETAIL__NODE_PARAMETERS_HPP_
#define RCLCPP__DETAIL__NODE_PARAMETERS_HPP_

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "rcl_interfaces/msg/list_parameters_result.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/parameter_event.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/parameter.hpp"

namespace rclcpp
{
namespace detail
{

class NodeParameters
{
public:
  // Called, under the parameters' lock, with the event of each declaration,
  // change or removal; its stamp and node are left to the callee.
  using EventSink = std::function<void(rcl_interfaces::msg::ParameterEvent &)>;

  NodeParameters(
    std::map<std::string, ParameterValue> overrides, bool allow_undeclared, EventSink events);

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

  // All or none: the first parameter that may not be set fails the result.
  // Throws ParameterNotDeclaredException for an undeclared name unless
  // undeclared parameters are allowed, in which case it is declared.
  rcl_interfaces::msg::SetParametersResult set_parameters_atomically(
    const std::vector<Parameter> & parameters);

  // Each throws ParameterNotDeclaredException for an undeclared name unless
  // undeclared parameters are allowed.
  std::vector<rcl_interfaces::msg::ParameterDescriptor> describe_parameters(
    const std::vector<std::string> & names) const;
  std::vector<uint8_t> get_parameter_types(const std::vector<std::string> & names) const;

  // Names under the prefixes ("." separates levels), at most depth levels
  // below them (0: any); no prefixes: from the top.
  rcl_interfaces::msg::ListParametersResult list_parameters(
    const std::vector<std::string> & prefixes, uint64_t depth) const;

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
  void publish(rcl_interfaces::msg::ParameterEvent & event) const;

  mutable std::recursive_mutex mutex_;
  std::map<std::string, ParameterValue> overrides_;
  bool allow_undeclared_;
  EventSink events_;
  std::map<std::string, Info> parameters_;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__NODE_PARAMETERS_HPP_
