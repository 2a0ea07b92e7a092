// rclcpp's SIGINT / SIGTERM handling: the handler only wakes a thread,
// which logs the signal and shuts every initialized context down.
#ifndef SIGNAL_HANDLER_HPP_
#define SIGNAL_HANDLER_HPP_

#include <memory>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/utilities.hpp"

namespace rclcpp
{
namespace detail
{

void install_signal_handlers(SignalHandlerOptions options);
void uninstall_signal_handlers();

// Contexts the handlers (and process exit) shut down.
void register_context(const std::shared_ptr<Context> & context);
std::vector<std::shared_ptr<Context>> registered_contexts();

}  // namespace detail
}  // namespace rclcpp

#endif  // SIGNAL_HANDLER_HPP_
