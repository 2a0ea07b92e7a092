#include "rclcpp/parameter_value.hpp"

#include <sstream>
#include <string>
#include <vector>

#include "rclcpp/parameter.hpp"

namespace rclcpp
{

std::string to_string(ParameterType type)
{
  switch (type) {
    case PARAMETER_NOT_SET: return "not set";
    case PARAMETER_BOOL: return "bool";
    case PARAMETER_INTEGER: return "integer";
    case PARAMETER_DOUBLE: return "double";
    case PARAMETER_STRING: return "string";
    case PARAMETER_BYTE_ARRAY: return "byte_array";
    case PARAMETER_BOOL_ARRAY: return "bool_array";
    case PARAMETER_INTEGER_ARRAY: return "integer_array";
    case PARAMETER_DOUBLE_ARRAY: return "double_array";
    case PARAMETER_STRING_ARRAY: return "string_array";
  }
  return "unknown type";
}

std::ostream & operator<<(std::ostream & os, ParameterType type)
{
  return os << to_string(type);
}

namespace
{

template<typename T>
std::string array_to_string(const std::vector<T> & values)
{
  std::ostringstream out;
  out << std::boolalpha << "[";
  for (size_t i = 0; i < values.size(); ++i) {
    out << (i == 0 ? "" : ", ");
    if constexpr (std::is_same_v<T, uint8_t>) {
      out << static_cast<int>(values[i]);
    } else {
      out << values[i];
    }
  }
  out << "]";
  return out.str();
}

}  // namespace

ParameterValue::ParameterValue(const rcl_interfaces::msg::ParameterValue & value)
{
  switch (value.type) {
    case PARAMETER_NOT_SET: break;
    case PARAMETER_BOOL: value_ = value.bool_value; break;
    case PARAMETER_INTEGER: value_ = value.integer_value; break;
    case PARAMETER_DOUBLE: value_ = value.double_value; break;
    case PARAMETER_STRING: value_ = value.string_value; break;
    case PARAMETER_BYTE_ARRAY: value_ = value.byte_array_value; break;
    case PARAMETER_BOOL_ARRAY: value_ = value.bool_array_value; break;
    case PARAMETER_INTEGER_ARRAY: value_ = value.integer_array_value; break;
    case PARAMETER_DOUBLE_ARRAY: value_ = value.double_array_value; break;
    case PARAMETER_STRING_ARRAY: value_ = value.string_array_value; break;
    default:
      throw std::runtime_error("Unknown type: " + std::to_string(value.type));
  }
}

rcl_interfaces::msg::ParameterValue ParameterValue::to_value_msg() const
{
  rcl_interfaces::msg::ParameterValue msg;
  msg.type = get_type();
  switch (get_type()) {
    case PARAMETER_NOT_SET: break;
    case PARAMETER_BOOL: msg.bool_value = get<PARAMETER_BOOL>(); break;
    case PARAMETER_INTEGER: msg.integer_value = get<PARAMETER_INTEGER>(); break;
    case PARAMETER_DOUBLE: msg.double_value = get<PARAMETER_DOUBLE>(); break;
    case PARAMETER_STRING: msg.string_value = get<PARAMETER_STRING>(); break;
    case PARAMETER_BYTE_ARRAY: msg.byte_array_value = get<PARAMETER_BYTE_ARRAY>(); break;
    case PARAMETER_BOOL_ARRAY: msg.bool_array_value = get<PARAMETER_BOOL_ARRAY>(); break;
    case PARAMETER_INTEGER_ARRAY: msg.integer_array_value = get<PARAMETER_INTEGER_ARRAY>(); break;
    case PARAMETER_DOUBLE_ARRAY: msg.double_array_value = get<PARAMETER_DOUBLE_ARRAY>(); break;
    case PARAMETER_STRING_ARRAY: msg.string_array_value = get<PARAMETER_STRING_ARRAY>(); break;
  }
  return msg;
}

std::string to_string(const ParameterValue & value)
{
  std::ostringstream out;
  out << std::boolalpha;
  switch (value.get_type()) {
    case PARAMETER_NOT_SET: return "not set";
    case PARAMETER_BOOL: out << value.get<PARAMETER_BOOL>(); break;
    case PARAMETER_INTEGER: out << value.get<PARAMETER_INTEGER>(); break;
    case PARAMETER_DOUBLE: out << value.get<PARAMETER_DOUBLE>(); break;
    case PARAMETER_STRING: return value.get<PARAMETER_STRING>();
    case PARAMETER_BYTE_ARRAY: return array_to_string(value.get<PARAMETER_BYTE_ARRAY>());
    case PARAMETER_BOOL_ARRAY: return array_to_string(value.get<PARAMETER_BOOL_ARRAY>());
    case PARAMETER_INTEGER_ARRAY: return array_to_string(value.get<PARAMETER_INTEGER_ARRAY>());
    case PARAMETER_DOUBLE_ARRAY: return array_to_string(value.get<PARAMETER_DOUBLE_ARRAY>());
    case PARAMETER_STRING_ARRAY: return array_to_string(value.get<PARAMETER_STRING_ARRAY>());
  }
  return out.str();
}

std::ostream & operator<<(std::ostream & os, const Parameter & pv)
{
  return os << "{\"name\": \"" << pv.get_name() << "\", \"type\": \"" << pv.get_type_name() <<
         "\", \"value\": \"" << pv.value_to_string() << "\"}";
}

}  // namespace rclcpp
