// A parameter's value: one of ROS 2's parameter types, with rclcpp's typed
// accessors (integers read as int64_t, floating point as double).
#ifndef RCLCPP__PARAMETER_VALUE_HPP_
#define RCLCPP__PARAMETER_VALUE_HPP_

#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "rcl_interfaces/msg/parameter_value.hpp"

namespace rclcpp
{

enum ParameterType : uint8_t
{
  PARAMETER_NOT_SET = 0,
  PARAMETER_BOOL = 1,
  PARAMETER_INTEGER = 2,
  PARAMETER_DOUBLE = 3,
  PARAMETER_STRING = 4,
  PARAMETER_BYTE_ARRAY = 5,
  PARAMETER_BOOL_ARRAY = 6,
  PARAMETER_INTEGER_ARRAY = 7,
  PARAMETER_DOUBLE_ARRAY = 8,
  PARAMETER_STRING_ARRAY = 9,
};

// "not set", "bool", "integer", "double", "string", "byte_array", ...
std::string to_string(ParameterType type);
std::ostream & operator<<(std::ostream & os, ParameterType type);

class ParameterTypeException : public std::runtime_error
{
public:
  ParameterTypeException(ParameterType expected, ParameterType actual)
  : std::runtime_error("expected [" + to_string(expected) + "] got [" + to_string(actual) + "]")
  {}
};

class ParameterValue
{
public:
  ParameterValue() = default;
  explicit ParameterValue(bool v) : value_(v) {}
  explicit ParameterValue(int v) : value_(static_cast<int64_t>(v)) {}
  explicit ParameterValue(int64_t v) : value_(v) {}
  explicit ParameterValue(float v) : value_(static_cast<double>(v)) {}
  explicit ParameterValue(double v) : value_(v) {}
  explicit ParameterValue(const std::string & v) : value_(v) {}
  explicit ParameterValue(const char * v) : value_(std::string(v)) {}
  explicit ParameterValue(const std::vector<uint8_t> & v) : value_(v) {}
  explicit ParameterValue(const std::vector<bool> & v) : value_(v) {}
  explicit ParameterValue(const std::vector<int> & v)
  : value_(std::vector<int64_t>(v.begin(), v.end())) {}
  explicit ParameterValue(const std::vector<int64_t> & v) : value_(v) {}
  explicit ParameterValue(const std::vector<float> & v)
  : value_(std::vector<double>(v.begin(), v.end())) {}
  explicit ParameterValue(const std::vector<double> & v) : value_(v) {}
  explicit ParameterValue(const std::vector<std::string> & v) : value_(v) {}
  // Throws std::runtime_error for a type number that is not a ParameterType.
  explicit ParameterValue(const rcl_interfaces::msg::ParameterValue & value);

  rcl_interfaces::msg::ParameterValue to_value_msg() const;

  ParameterType get_type() const {return static_cast<ParameterType>(value_.index());}

  template<ParameterType type>
  const auto & get() const
  {
    if (get_type() != type) {
      throw ParameterTypeException(type, get_type());
    }
    return std::get<static_cast<size_t>(type)>(value_);
  }

  template<typename T>
  decltype(auto) get() const
  {
    using U = std::remove_cv_t<std::remove_reference_t<T>>;
    if constexpr (std::is_same_v<U, bool>) {
      return get<PARAMETER_BOOL>();
    } else if constexpr (std::is_integral_v<U>) {
      return get<PARAMETER_INTEGER>();
    } else if constexpr (std::is_floating_point_v<U>) {
      return get<PARAMETER_DOUBLE>();
    } else if constexpr (std::is_convertible_v<U, std::string>) {
      return get<PARAMETER_STRING>();
    } else if constexpr (std::is_same_v<U, std::vector<uint8_t>>) {
      return get<PARAMETER_BYTE_ARRAY>();
    } else if constexpr (std::is_same_v<U, std::vector<bool>>) {
      return get<PARAMETER_BOOL_ARRAY>();
    } else if constexpr (
      std::is_same_v<U, std::vector<int>>|| std::is_same_v<U, std::vector<int64_t>>)
    {
      return get<PARAMETER_INTEGER_ARRAY>();
    } else if constexpr (
      std::is_same_v<U, std::vector<float>>|| std::is_same_v<U, std::vector<double>>)
    {
      return get<PARAMETER_DOUBLE_ARRAY>();
    } else if constexpr (std::is_same_v<U, std::vector<std::string>>) {
      return get<PARAMETER_STRING_ARRAY>();
    } else if constexpr (std::is_same_v<U, ParameterValue>) {
      return static_cast<const ParameterValue &>(*this);
    } else {
      static_assert(sizeof(U) == 0, "type is not a ROS parameter type");
    }
  }

  bool operator==(const ParameterValue & rhs) const {return value_ == rhs.value_;}
  bool operator!=(const ParameterValue & rhs) const {return !(*this == rhs);}

private:
  std::variant<
    std::monostate, bool, int64_t, double, std::string, std::vector<uint8_t>,
    std::vector<bool>, std::vector<int64_t>, std::vector<double>,
    std::vector<std::string>> value_;
};

// The value as `ros2 param get` shows it.
std::string to_string(const ParameterValue & value);

}  // namespace rclcpp

#endif  // RCLCPP__PARAMETER_VALUE_HPP_
