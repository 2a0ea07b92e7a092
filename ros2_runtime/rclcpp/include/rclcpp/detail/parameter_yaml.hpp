// Parameter values and parameter files in ROS 2's YAML conventions, typed
// the way rcl_yaml_param_parser types them.
#ifndef RCLCPP__DETAIL__PARAMETER_YAML_HPP_
#define RCLCPP__DETAIL__PARAMETER_YAML_HPP_

#include <string>
#include <vector>

#include "rclcpp/detail/arguments.hpp"
#include "rclcpp/parameter_value.hpp"

namespace rclcpp
{
namespace detail
{

// A value as written after ":=" on the command line. Throws
// std::runtime_error naming what is wrong.
ParameterValue parse_parameter_value(const std::string & yaml);

// Every parameter of a parameters file, under its node key. Throws
// std::runtime_error naming what is wrong.
std::vector<ParameterRule> parse_parameters_file(const std::string & path);

// Whether a node key of a parameters file ("/**", "/ns/*", "node") names
// the node of that fully qualified name.
bool node_pattern_matches(const std::string & pattern, const std::string & node_fqn);

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__PARAMETER_YAML_HPP_
