#include "rclcpp/detail/node_parameters.hpp"

#include <string>
#include <utility>

#include "rclcpp/exceptions.hpp"

namespace rclcpp
{
namespace detail
{
namespace
{

// rclcpp words a type clash this way, and turns it into
// InvalidParameterTypeException when declaring.
std::string type_reason(const std::string & name, ParameterType old_type, ParameterType new_type)
{
  return "Wrong parameter type, parameter {" + name + "} is of type {" + to_string(old_type) +
         "}, setting it to {" + to_string(new_type) + "} is not allowed.";
}

}  // namespace

NodeParameters::NodeParameters(
  std::map<std::string, ParameterValue> overrides, bool allow_undeclared)
: overrides_(std::move(overrides)), allow_undeclared_(allow_undeclared) {}

const ParameterValue & NodeParameters::declare_parameter(
  const std::string & name, const ParameterValue & default_value,
  const rcl_interfaces::msg::ParameterDescriptor & descriptor, bool ignore_override)
{
  return declare(name, PARAMETER_NOT_SET, default_value, descriptor, ignore_override);
}

const ParameterValue & NodeParameters::declare_parameter(
  const std::string & name, ParameterType type,
  const rcl_interfaces::msg::ParameterDescriptor & descriptor, bool ignore_override)
{
  if (type == PARAMETER_NOT_SET) {
    throw std::invalid_argument(
            "declare_parameter(): the provided parameter type cannot be rclcpp::PARAMETER_NOT_SET");
  }
  if (descriptor.dynamic_typing) {
    throw std::invalid_argument(
            "declare_parameter(): cannot declare parameter of specific type and pass descriptor"
            "with `dynamic_typing=true`");
  }
  return declare(name, type, ParameterValue(), descriptor, ignore_override);
}

const ParameterValue & NodeParameters::declare(
  const std::string & name, ParameterType type, const ParameterValue & default_value,
  rcl_interfaces::msg::ParameterDescriptor descriptor, bool ignore_override)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (name.empty()) {
    throw exceptions::InvalidParametersException("parameter name must not be empty");
  }
  if (parameters_.count(name)) {
    throw exceptions::ParameterAlreadyDeclaredException(
            "parameter '" + name + "' has already been declared");
  }
  if (!descriptor.dynamic_typing) {
    if (type == PARAMETER_NOT_SET) {
      type = default_value.get_type();
    }
    if (type == PARAMETER_NOT_SET) {
      throw exceptions::InvalidParameterTypeException(
              name, "cannot declare a statically typed parameter with an uninitialized value");
    }
    descriptor.type = type;
  }
  descriptor.name = name;

  const ParameterValue * initial = &default_value;
  auto override_it = overrides_.find(name);
  if (!ignore_override && override_it != overrides_.end()) {
    initial = &override_it->second;
  }
  if (initial->get_type() != PARAMETER_NOT_SET && !descriptor.dynamic_typing &&
    initial->get_type() != descriptor.type)
  {
    throw exceptions::InvalidParameterTypeException(
            name, type_reason(name, static_cast<ParameterType>(descriptor.type), initial->get_type()));
  }
  if (initial->get_type() != PARAMETER_NOT_SET) {
    descriptor.type = initial->get_type();
  } else if (descriptor.dynamic_typing) {
    descriptor.type = PARAMETER_NOT_SET;
  }
  auto & info = parameters_[name];
  info.value = *initial;
  info.descriptor = descriptor;
  return info.value;
}

void NodeParameters::undeclare_parameter(const std::string & name)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = parameters_.find(name);
  if (it == parameters_.end()) {
    throw exceptions::ParameterNotDeclaredException(
            "cannot undeclare parameter '" + name + "' which has not yet been declared");
  }
  if (it->second.descriptor.read_only) {
    throw exceptions::ParameterImmutableException(
            "cannot undeclare parameter '" + name + "' because it is read-only");
  }
  if (!it->second.descriptor.dynamic_typing) {
    throw exceptions::InvalidParameterTypeException(
            name, "cannot undeclare a statically typed parameter");
  }
  parameters_.erase(it);
}

bool NodeParameters::has_parameter(const std::string & name) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return parameters_.count(name) > 0;
}

Parameter NodeParameters::get_parameter(const std::string & name) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = parameters_.find(name);
  if (it != parameters_.end()) {
    if (it->second.value.get_type() != PARAMETER_NOT_SET || it->second.descriptor.dynamic_typing) {
      return Parameter(name, it->second.value);
    }
    throw exceptions::ParameterUninitializedException(name);
  }
  if (allow_undeclared_) {
    return Parameter(name);
  }
  throw exceptions::ParameterNotDeclaredException(name);
}

bool NodeParameters::get_parameter(const std::string & name, Parameter & parameter) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  auto it = parameters_.find(name);
  if (it == parameters_.end() || it->second.value.get_type() == PARAMETER_NOT_SET) {
    return false;
  }
  parameter = Parameter(name, it->second.value);
  return true;
}

rcl_interfaces::msg::SetParametersResult NodeParameters::set_parameter(const Parameter & parameter)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const std::string & name = parameter.get_name();
  if (name.empty()) {
    throw exceptions::InvalidParametersException("parameter name must not be empty");
  }
  rcl_interfaces::msg::SetParametersResult result;
  auto it = parameters_.find(name);
  if (it == parameters_.end()) {
    if (!allow_undeclared_) {
      throw exceptions::ParameterNotDeclaredException(
              "parameter '" + name + "' cannot be set because it was not declared");
    }
    // Implicitly declared: dynamically typed, starting from any override.
    rcl_interfaces::msg::ParameterDescriptor descriptor;
    descriptor.dynamic_typing = true;
    declare(name, PARAMETER_NOT_SET, parameter.get_parameter_value(), descriptor, true);
    result.successful = true;
    return result;
  }
  auto & info = it->second;
  if (info.descriptor.read_only) {
    result.reason = "parameter '" + name + "' cannot be set because it is read-only";
    return result;
  }
  const ParameterType new_type = parameter.get_type();
  if (!info.descriptor.dynamic_typing && new_type != info.descriptor.type) {
    result.reason = type_reason(name, static_cast<ParameterType>(info.descriptor.type), new_type);
    return result;
  }
  if (new_type == PARAMETER_NOT_SET) {
    parameters_.erase(it);
  } else {
    info.value = parameter.get_parameter_value();
    info.descriptor.type = new_type;
  }
  result.successful = true;
  return result;
}

}  // namespace detail
}  // namespace rclcpp
