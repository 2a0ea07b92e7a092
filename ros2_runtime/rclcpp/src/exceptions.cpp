#include "rclcpp/exceptions/exceptions.hpp"

#include <string>

namespace rclcpp
{
namespace exceptions
{

std::string NameValidationError::format_error(
  const char * name_type, const char * name, const char * error_msg, size_t invalid_index)
{
  std::string msg;
  msg += std::string("Invalid ") + name_type + ": " + error_msg + ":\n";
  msg += std::string("  '") + name + "'\n";
  msg += "   " + std::string(invalid_index, ' ') + "^\n";
  return msg;
}

}  // namespace exceptions
}  // namespace rclcpp
