// ROS command line arguments (--ros-args ... [--]) parsed as rcl parses
// them: remap rules, parameter overrides in command-line order (parameter
// files expanded where they stand), log levels, and what was not ROS's.
#ifndef RCLCPP__DETAIL__ARGUMENTS_HPP_
#define RCLCPP__DETAIL__ARGUMENTS_HPP_

#include <map>
#include <string>
#include <vector>

#include "rclcpp/logger.hpp"
#include "rclcpp/parameter_value.hpp"

namespace rclcpp
{
namespace detail
{

struct RemapRule
{
  enum class Kind {Name, NodeName, Namespace};
  Kind kind;
  std::string node;  // empty: applies to every node
  std::string match;
  std::string replacement;
};

struct ParameterRule
{
  std::string node_pattern;  // fully qualified, may hold * and **
  std::string name;
  ParameterValue value;
};

struct LogLevelRule
{
  std::string logger;  // empty: the default level
  Logger::Level level;
};

struct Arguments
{
  std::vector<RemapRule> remaps;
  std::vector<ParameterRule> parameters;
  std::vector<LogLevelRule> log_levels;
  bool rosout_logs = true;  // --disable-rosout-logs clears it
  std::vector<std::string> unknown_ros_args;
  std::vector<std::string> non_ros_args;
};

// Throws rclcpp::exceptions::RCLInvalidROSArgsError, its text prefixed by
// `error_prefix`, on a malformed ROS argument.
Arguments parse_arguments(const std::vector<std::string> & args, const std::string & error_prefix);

// Overrides for the node of that fully qualified name, later rules winning.
std::map<std::string, ParameterValue> parameter_overrides_for(
  const Arguments & args, const std::string & node_fqn);

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__ARGUMENTS_HPP_
