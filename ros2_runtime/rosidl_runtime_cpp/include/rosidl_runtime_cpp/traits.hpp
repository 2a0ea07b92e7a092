#ifndef ROSIDL_RUNTIME_CPP__TRAITS_HPP_
#define ROSIDL_RUNTIME_CPP__TRAITS_HPP_

#include <cstdint>
#include <iomanip>
#include <ostream>
#include <string>
#include <type_traits>

namespace rosidl_generator_traits
{

// How the generated to_yaml() functions print field values.

inline void value_to_yaml(bool value, std::ostream & out)
{
  out << (value ? "true" : "false");
}

// byte fields print as hexadecimal.
inline void character_value_to_yaml(unsigned char value, std::ostream & out)
{
  const auto flags = out.flags();
  out << "0x" << std::hex << std::setw(2) << std::setfill('0') << static_cast<int>(value);
  out.flags(flags);
}

template<typename T>
inline std::enable_if_t<std::is_floating_point_v<T>> value_to_yaml(T value, std::ostream & out)
{
  const auto flags = out.flags();
  out << std::showpoint << value;
  out.flags(flags);
}

template<typename T>
inline std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>>
value_to_yaml(T value, std::ostream & out)
{
  // The unary plus prints int8_t and uint8_t as numbers, not characters.
  out << +value;
}

inline void value_to_yaml(const std::string & value, std::ostream & out)
{
  out << '"';
  for (char c : value) {
    if (c == '"' || c == '\\') {
      out << '\\';
    }
    out << c;
  }
  out << '"';
}

inline void value_to_yaml(const std::u16string & value, std::ostream & out)
{
  const auto flags = out.flags();
  out << '"';
  for (char16_t c : value) {
    if (c == u'"' || c == u'\\') {
      out << '\\' << static_cast<char>(c);
    } else if (c < 0x80) {
      out << static_cast<char>(c);
    } else {
      out << "\\u" << std::hex << std::setw(4) << std::setfill('0') << static_cast<int>(c);
    }
  }
  out << '"';
  out.flags(flags);
}

// "sensor_msgs::msg::Image"
template<typename T>
inline const char * data_type();

// "sensor_msgs/msg/Image"
template<typename T>
inline const char * name();

template<typename T>
struct has_fixed_size : std::false_type {};

template<typename T>
struct has_bounded_size : std::false_type {};

template<typename T>
struct is_message : std::false_type {};

template<typename T>
struct is_service : std::false_type {};

template<typename T>
struct is_service_request : std::false_type {};

template<typename T>
struct is_service_response : std::false_type {};

}  // namespace rosidl_generator_traits

#endif  // ROSIDL_RUNTIME_CPP__TRAITS_HPP_
