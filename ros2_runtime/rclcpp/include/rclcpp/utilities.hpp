// Process-wide entry points: init, ok, shutdown, argument handling, sleep.
#ifndef RCLCPP__UTILITIES_HPP_
#define RCLCPP__UTILITIES_HPP_

#include <chrono>
#include <string>
#include <vector>

#include "rclcpp/context.hpp"

namespace rclcpp
{

enum class SignalHandlerOptions
{
  All,
  SigInt,
  SigTerm,
  None,
};

// Initializes the global context and installs rclcpp's SIGINT / SIGTERM
// handlers, which shut every context down.
void init(
  int argc, char const * const * argv, const InitOptions & init_options = InitOptions(),
  SignalHandlerOptions signal_handler_options = SignalHandlerOptions::All);

std::vector<std::string> init_and_remove_ros_arguments(
  int argc, char const * const * argv, const InitOptions & init_options = InitOptions());

// argv without its ROS arguments; throws on malformed ROS arguments.
std::vector<std::string> remove_ros_arguments(int argc, char const * const * argv);

bool ok(Context::SharedPtr context = nullptr);

bool shutdown(
  Context::SharedPtr context = nullptr,
  const std::string & reason = "user called rclcpp::shutdown()");

void on_shutdown(std::function<void()> callback, Context::SharedPtr context = nullptr);

// Sleeps, waking early on shutdown; true when the context is still valid.
bool sleep_for(
  const std::chrono::nanoseconds & nanoseconds, Context::SharedPtr context = nullptr);

}  // namespace rclcpp

#endif  // RCLCPP__UTILITIES_HPP_
