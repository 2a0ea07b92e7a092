// A named parameter value, with rclcpp's accessors.
#ifndef RCLCPP__PARAMETER_HPP_
#define RCLCPP__PARAMETER_HPP_

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "rcl_interfaces/msg/parameter.hpp"
#include "rclcpp/parameter_value.hpp"

namespace rclcpp
{

class Parameter
{
public:
  Parameter() = default;
  explicit Parameter(const std::string & name) : name_(name) {}
  Parameter(const std::string & name, const ParameterValue & value)
  : name_(name), value_(value) {}

  template<typename ValueTypeT>
  Parameter(const std::string & name, ValueTypeT value)
  : Parameter(name, ParameterValue(value)) {}

  // Throws std::runtime_error for a value of unknown type.
  static Parameter from_parameter_msg(const rcl_interfaces::msg::Parameter & parameter)
  {
    return Parameter(parameter.name, ParameterValue(parameter.value));
  }
  rcl_interfaces::msg::Parameter to_parameter_msg() const
  {
    rcl_interfaces::msg::Parameter parameter;
    parameter.name = name_;
    parameter.value = value_.to_value_msg();
    return parameter;
  }
  rcl_interfaces::msg::ParameterValue get_value_message() const {return value_.to_value_msg();}

  ParameterType get_type() const {return value_.get_type();}
  std::string get_type_name() const {return to_string(get_type());}
  const std::string & get_name() const {return name_;}
  const ParameterValue & get_parameter_value() const {return value_;}

  template<ParameterType ParamT>
  decltype(auto) get_value() const {return value_.get<ParamT>();}

  template<typename T>
  decltype(auto) get_value() const {return value_.get<T>();}

  bool as_bool() const {return get_value<PARAMETER_BOOL>();}
  int64_t as_int() const {return get_value<PARAMETER_INTEGER>();}
  double as_double() const {return get_value<PARAMETER_DOUBLE>();}
  const std::string & as_string() const {return get_value<PARAMETER_STRING>();}
  const std::vector<uint8_t> & as_byte_array() const {return get_value<PARAMETER_BYTE_ARRAY>();}
  const std::vector<bool> & as_bool_array() const {return get_value<PARAMETER_BOOL_ARRAY>();}
  const std::vector<int64_t> & as_integer_array() const
  {
    return get_value<PARAMETER_INTEGER_ARRAY>();
  }
  const std::vector<double> & as_double_array() const
  {
    return get_value<PARAMETER_DOUBLE_ARRAY>();
  }
  const std::vector<std::string> & as_string_array() const
  {
    return get_value<PARAMETER_STRING_ARRAY>();
  }

  std::string value_to_string() const {return to_string(value_);}

  bool operator==(const Parameter & rhs) const
  {
    return name_ == rhs.name_ && value_ == rhs.value_;
  }
  bool operator!=(const Parameter & rhs) const {return !(*this == rhs);}

private:
  std::string name_;
  ParameterValue value_;
};

std::ostream & operator<<(std::ostream & os, const Parameter & pv);

}  // namespace rclcpp

#endif  // RCLCPP__PARAMETER_HPP_
