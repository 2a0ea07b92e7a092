// The six services through which other processes (ros2 param, rqt) read
// and change a node's parameters, named "<node>/get_parameters" and so on.
#ifndef RCLCPP__PARAMETER_SERVICE_HPP_
#define RCLCPP__PARAMETER_SERVICE_HPP_

#include <memory>

#include "rcl_interfaces/srv/describe_parameters.hpp"
#include "rcl_interfaces/srv/get_parameter_types.hpp"
#include "rcl_interfaces/srv/get_parameters.hpp"
#include "rcl_interfaces/srv/list_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters_atomically.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/service.hpp"
#include "rmw/qos_profiles.h"

namespace rclcpp
{

class Node;

class ParameterService
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(ParameterService)

  // The services answer from `node`'s parameters; the node must outlive them.
  explicit ParameterService(
    Node & node, const rmw_qos_profile_t & qos_profile = rmw_qos_profile_parameters);

private:
  Service<rcl_interfaces::srv::GetParameters>::SharedPtr get_parameters_service_;
  Service<rcl_interfaces::srv::GetParameterTypes>::SharedPtr get_parameter_types_service_;
  Service<rcl_interfaces::srv::SetParameters>::SharedPtr set_parameters_service_;
  Service<rcl_interfaces::srv::SetParametersAtomically>::SharedPtr
    set_parameters_atomically_service_;
  Service<rcl_interfaces::srv::DescribeParameters>::SharedPtr describe_parameters_service_;
  Service<rcl_interfaces::srv::ListParameters>::SharedPtr list_parameters_service_;
};

}  // namespace rclcpp

#endif  // RCLCPP__PARAMETER_SERVICE_HPP_
