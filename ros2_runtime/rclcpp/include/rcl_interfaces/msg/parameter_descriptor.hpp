// rcl_interfaces/msg/ParameterDescriptor: the fields rclcpp's parameter
// declaration honours.
#ifndef RCL_INTERFACES__MSG__PARAMETER_DESCRIPTOR_HPP_
#define RCL_INTERFACES__MSG__PARAMETER_DESCRIPTOR_HPP_

#include <cstdint>
#include <string>

namespace rcl_interfaces
{
namespace msg
{

struct ParameterDescriptor
{
  std::string name;
  uint8_t type = 0;
  std::string description;
  std::string additional_constraints;
  bool read_only = false;
  bool dynamic_typing = false;
};

}  // namespace msg
}  // namespace rcl_interfaces

#endif  // RCL_INTERFACES__MSG__PARAMETER_DESCRIPTOR_HPP_
