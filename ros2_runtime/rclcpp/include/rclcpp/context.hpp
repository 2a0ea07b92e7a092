// The ROS context: what rclcpp::init sets up (global arguments, the DDS
// participant) and rclcpp::shutdown tears down.
#ifndef RCLCPP__CONTEXT_HPP_
#define RCLCPP__CONTEXT_HPP_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "rclcpp/detail/arguments.hpp"
#include "rclcpp/detail/work_signal.hpp"
#include "rclcpp/macros.hpp"

namespace rmw_fastdds
{
class Participant;
}

namespace rclcpp
{

class ContextAlreadyInitialized : public std::runtime_error
{
public:
  ContextAlreadyInitialized()
  : std::runtime_error("context is already initialized") {}
};

class InitOptions
{
public:
  // Whether the signal handlers shut this context down on SIGINT / SIGTERM.
  bool shutdown_on_signal = true;
};

struct OnShutdownCallbackHandle
{
  std::weak_ptr<std::function<void()>> callback;
};

class Context : public std::enable_shared_from_this<Context>
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Context)

  Context() = default;
  virtual ~Context();

  Context(const Context &) = delete;
  Context & operator=(const Context &) = delete;

  // Throws ContextAlreadyInitialized, or rclcpp::exceptions errors on
  // malformed or unknown ROS arguments.
  virtual void init(
    int argc, char const * const * argv, const InitOptions & init_options = InitOptions());

  bool is_valid() const;
  const InitOptions & get_init_options() const {return init_options_;}
  std::string shutdown_reason() const;
  // False when the context was not valid.
  bool shutdown(const std::string & reason);

  using OnShutdownCallback = std::function<void()>;
  OnShutdownCallbackHandle add_on_shutdown_callback(OnShutdownCallback callback);
  bool remove_on_shutdown_callback(const OnShutdownCallbackHandle & handle);

  // Sleeps, waking early on shutdown; true when the context is still valid.
  bool sleep_for(const std::chrono::nanoseconds & nanoseconds);

  // Throws std::runtime_error on a context that was never initialized.
  std::shared_ptr<rmw_fastdds::Participant> participant() const;
  const detail::Arguments & global_arguments() const {return global_arguments_;}
  detail::WorkSignal & work_signal() {return work_signal_;}

  // Executors count themselves while they spin, so that process exit can
  // shut the context down and wait for them before DDS entities are deleted.
  void enter_spin();
  void leave_spin();
  bool wait_until_idle(std::chrono::nanoseconds timeout);

private:
  mutable std::mutex mutex_;
  std::condition_variable sleep_interrupted_;
  uint64_t shutdowns_ = 0;
  bool valid_ = false;
  size_t spinning_ = 0;
  std::condition_variable idle_;
  std::string shutdown_reason_;
  InitOptions init_options_;
  detail::Arguments global_arguments_;
  std::shared_ptr<rmw_fastdds::Participant> participant_;
  std::list<std::shared_ptr<OnShutdownCallback>> on_shutdown_callbacks_;
  detail::WorkSignal work_signal_;
};

namespace contexts
{

Context::SharedPtr get_global_default_context();

}  // namespace contexts
}  // namespace rclcpp

#endif  // RCLCPP__CONTEXT_HPP_
