#include "rclcpp/utilities.hpp"

#include <string>
#include <utility>
#include <vector>

#include "rclcpp/detail/arguments.hpp"
#include "signal_handler.hpp"

namespace rclcpp
{
namespace
{

Context::SharedPtr or_default(Context::SharedPtr context)
{
  return context ? context : contexts::get_global_default_context();
}

}  // namespace

void init(
  int argc, char const * const * argv, const InitOptions & init_options,
  SignalHandlerOptions signal_handler_options)
{
  contexts::get_global_default_context()->init(argc, argv, init_options);
  detail::install_signal_handlers(signal_handler_options);
}

std::vector<std::string> init_and_remove_ros_arguments(
  int argc, char const * const * argv, const InitOptions & init_options)
{
  init(argc, argv, init_options);
  return remove_ros_arguments(argc, argv);
}

std::vector<std::string> remove_ros_arguments(int argc, char const * const * argv)
{
  std::vector<std::string> args(argv, argv + (argc > 0 ? argc : 0));
  return detail::parse_arguments(args, "failed to parse arguments").non_ros_args;
}

bool ok(Context::SharedPtr context)
{
  return or_default(std::move(context))->is_valid();
}

bool shutdown(Context::SharedPtr context, const std::string & reason)
{
  auto default_context = contexts::get_global_default_context();
  context = or_default(std::move(context));
  const bool ret = context->shutdown(reason);
  if (context == default_context) {
    detail::uninstall_signal_handlers();
  }
  return ret;
}

void on_shutdown(std::function<void()> callback, Context::SharedPtr context)
{
  or_default(std::move(context))->add_on_shutdown_callback(std::move(callback));
}

bool sleep_for(const std::chrono::nanoseconds & nanoseconds, Context::SharedPtr context)
{
  return or_default(std::move(context))->sleep_for(nanoseconds);
}

}  // namespace rclcpp
