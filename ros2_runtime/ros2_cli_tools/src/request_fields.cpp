#include "ros2_cli_tools/request_fields.hpp"

namespace ros2_cli_tools
{

void set_fields(
  const YAML::Node & values, const std::string & message_name, const FieldSetters & setters)
{
  if (!values || values.IsNull()) {
    return;
  }
  if (!values.IsMap()) {
    throw FieldError("the request must be a YAML mapping of field names to values");
  }
  for (const auto & entry : values) {
    const std::string name = entry.first.as<std::string>();
    const auto setter = setters.find(name);
    if (setter == setters.end()) {
      throw FieldError("'" + message_name + "' object has no attribute '" + name + "'");
    }
    try {
      setter->second(entry.second);
    } catch (const YAML::Exception & e) {
      throw FieldError("field '" + name + "': " + e.msg);
    }
  }
}

}  // namespace ros2_cli_tools
