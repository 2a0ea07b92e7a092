// rcl_interfaces/msg/SetParametersResult, as rclcpp returns it from
// set_parameter; parameters travel nowhere else here, so it is a plain struct.
#ifndef RCL_INTERFACES__MSG__SET_PARAMETERS_RESULT_HPP_
#define RCL_INTERFACES__MSG__SET_PARAMETERS_RESULT_HPP_

#include <string>

namespace rcl_interfaces
{
namespace msg
{

struct SetParametersResult
{
  bool successful = false;
  std::string reason;
};

}  // namespace msg
}  // namespace rcl_interfaces

#endif  // RCL_INTERFACES__MSG__SET_PARAMETERS_RESULT_HPP_
