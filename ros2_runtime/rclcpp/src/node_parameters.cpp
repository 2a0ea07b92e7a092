#include "rclcpp/detail/node_parameters.hpp"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

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
  std::map<std::string, ParameterValue> overrides, bool allow_undeclared, EventSink events)
: overrides_(std::move(overrides)), allow_undeclared_(allow_undeclared),
  events_(std::move(events)) {}

void NodeParameters::publish(rcl_interfaces::msg::ParameterEvent & event) const
{
  if (events_) {
    events_(event);
  }
}

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

  rcl_interfaces::msg::ParameterEvent event;
  event.new_parameters.push_back(Parameter(name, info.value).to_parameter_msg());
  publish(event);
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
  rcl_interfaces::msg::ParameterEvent event;
  event.deleted_parameters.push_back(Parameter(name, it->second.value).to_parameter_msg());
  parameters_.erase(it);
  publish(event);
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

rcl_interfaces::msg::SetParametersResult NodeParameters::set_parameters_atomically(
  const std::vector<Parameter> & parameters)
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  rcl_interfaces::msg::SetParametersResult result;
  // Nothing changes until every parameter has passed.
  for (const auto & parameter : parameters) {
    const std::string & name = parameter.get_name();
    if (name.empty()) {
      throw exceptions::InvalidParametersException("parameter name must not be empty");
    }
    auto it = parameters_.find(name);
    if (it == parameters_.end()) {
      if (!allow_undeclared_) {
        throw exceptions::ParameterNotDeclaredException(
                "parameter '" + name + "' cannot be set because it was not declared");
      }
      continue;  // declared below, dynamically typed
    }
    const auto & descriptor = it->second.descriptor;
    if (descriptor.read_only) {
      result.reason = "parameter '" + name + "' cannot be set because it is read-only";
      return result;
    }
    const ParameterType new_type = parameter.get_type();
    if (!descriptor.dynamic_typing && new_type != descriptor.type) {
      result.reason = type_reason(name, static_cast<ParameterType>(descriptor.type), new_type);
      return result;
    }
  }

  rcl_interfaces::msg::ParameterEvent event;
  for (const auto & parameter : parameters) {
    const std::string & name = parameter.get_name();
    auto it = parameters_.find(name);
    if (it == parameters_.end()) {
      auto & info = parameters_[name];
      info.value = parameter.get_parameter_value();
      info.descriptor.name = name;
      info.descriptor.dynamic_typing = true;
      info.descriptor.type = parameter.get_type();
      event.new_parameters.push_back(parameter.to_parameter_msg());
    } else if (parameter.get_type() == PARAMETER_NOT_SET) {
      event.deleted_parameters.push_back(parameter.to_parameter_msg());
      parameters_.erase(it);
    } else {
      it->second.value = parameter.get_parameter_value();
      it->second.descriptor.type = parameter.get_type();
      event.changed_parameters.push_back(parameter.to_parameter_msg());
    }
  }
  publish(event);
  result.successful = true;
  return result;
}

std::vector<rcl_interfaces::msg::ParameterDescriptor> NodeParameters::describe_parameters(
  const std::vector<std::string> & names) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<rcl_interfaces::msg::ParameterDescriptor> out;
  for (const auto & name : names) {
    auto it = parameters_.find(name);
    if (it != parameters_.end()) {
      out.push_back(it->second.descriptor);
    } else if (allow_undeclared_) {
      out.emplace_back().name = name;
    } else {
      throw exceptions::ParameterNotDeclaredException(name);
    }
  }
  return out;
}

std::vector<uint8_t> NodeParameters::get_parameter_types(
  const std::vector<std::string> & names) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<uint8_t> out;
  for (const auto & name : names) {
    auto it = parameters_.find(name);
    if (it != parameters_.end()) {
      out.push_back(it->second.value.get_type());
    } else if (allow_undeclared_) {
      out.push_back(PARAMETER_NOT_SET);
    } else {
      throw exceptions::ParameterNotDeclaredException(name);
    }
  }
  return out;
}

rcl_interfaces::msg::ListParametersResult NodeParameters::list_parameters(
  const std::vector<std::string> & prefixes, uint64_t depth) const
{
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  // Levels below a point: the separators after it.
  auto within_depth = [depth](const std::string & name, size_t from) {
      return depth == 0 ||
             static_cast<uint64_t>(std::count(name.begin() + from, name.end(), '.')) < depth;
    };
  rcl_interfaces::msg::ListParametersResult result;
  for (const auto & entry : parameters_) {
    const std::string & name = entry.first;
    bool listed = prefixes.empty() && within_depth(name, 0);
    for (const auto & prefix : prefixes) {
      if (name == prefix ||
        (name.compare(0, prefix.size() + 1, prefix + ".") == 0 &&
        within_depth(name, prefix.size())))
      {
        listed = true;
        break;
      }
    }
    if (!listed) {
      continue;
    }
    result.names.push_back(name);
    const auto last_dot = name.rfind('.');
    if (last_dot != std::string::npos) {
      const std::string prefix = name.substr(0, last_dot);
      if (std::find(result.prefixes.begin(), result.prefixes.end(), prefix) ==
        result.prefixes.end())
      {
        result.prefixes.push_back(prefix);
      }
    }
  }
  return result;
}

}  // namespace detail
}  // namespace rclcpp
