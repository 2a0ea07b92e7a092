// A ROS context of its own per test, initialized from a command line.
#ifndef CONTEXT_FIXTURE_HPP_
#define CONTEXT_FIXTURE_HPP_

#include <memory>
#include <string>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/node_options.hpp"

inline std::shared_ptr<rclcpp::Context> make_context(std::vector<std::string> args = {})
{
  args.insert(args.begin(), "test");
  std::vector<const char *> argv;
  for (const auto & a : args) {
    argv.push_back(a.c_str());
  }
  auto context = std::make_shared<rclcpp::Context>();
  context->init(static_cast<int>(argv.size()), argv.data());
  return context;
}

inline rclcpp::NodeOptions options_for(const std::shared_ptr<rclcpp::Context> & context)
{
  return rclcpp::NodeOptions().context(context);
}

#endif  // CONTEXT_FIXTURE_HPP_
