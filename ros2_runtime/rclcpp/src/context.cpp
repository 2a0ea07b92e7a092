#include "rclcpp/context.hpp"

#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/exceptions.hpp"
#include "rclcpp/logging.hpp"
#include "rmw_fastdds/participant.hpp"
#include "signal_handler.hpp"

namespace rclcpp
{
namespace
{

// exit() while nodes live on (a TF listener spinning on its own thread)
// would have Fast DDS's factory, destroyed with the statics, delete entities
// under a running executor: stop every executor first.
void shutdown_at_exit()
{
  for (const auto & context : detail::registered_contexts()) {
    context->shutdown("process exit");
    context->wait_until_idle(std::chrono::seconds(2));
  }
}

}  // namespace

Context::~Context()
{
  shutdown("context destroyed");
}

void Context::init(int argc, char const * const * argv, const InitOptions & init_options)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (valid_) {
    throw ContextAlreadyInitialized();
  }
  std::vector<std::string> args(argv, argv + (argc > 0 ? argc : 0));
  detail::Arguments arguments = detail::parse_arguments(args, "failed to initialize rcl");
  if (!arguments.unknown_ros_args.empty()) {
    throw exceptions::UnknownROSArgsError(std::move(arguments.unknown_ros_args));
  }
  for (const auto & rule : arguments.log_levels) {
    logging::set_logger_level(rule.logger, rule.level);
  }
  participant_ = rmw_fastdds::Participant::create(
    rmw_fastdds::ParticipantOptions::from_environment());
  global_arguments_ = std::move(arguments);
  init_options_ = init_options;
  shutdown_reason_.clear();
  valid_ = true;
  detail::register_context(shared_from_this());
  static std::once_flag at_exit;
  std::call_once(at_exit, [] {std::atexit(shutdown_at_exit);});
}

void Context::enter_spin()
{
  std::lock_guard<std::mutex> lock(mutex_);
  ++spinning_;
}

void Context::leave_spin()
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (--spinning_ == 0) {
    idle_.notify_all();
  }
}

bool Context::wait_until_idle(std::chrono::nanoseconds timeout)
{
  std::unique_lock<std::mutex> lock(mutex_);
  return idle_.wait_for(lock, timeout, [this] {return spinning_ == 0;});
}

bool Context::is_valid() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return valid_;
}

std::string Context::shutdown_reason() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return shutdown_reason_;
}

bool Context::shutdown(const std::string & reason)
{
  std::list<std::shared_ptr<OnShutdownCallback>> callbacks;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!valid_) {
      return false;
    }
    valid_ = false;
    shutdown_reason_ = reason;
    callbacks = on_shutdown_callbacks_;
    ++shutdowns_;
  }
  sleep_interrupted_.notify_all();
  for (const auto & callback : callbacks) {
    (*callback)();
  }
  work_signal_.notify();
  return true;
}

OnShutdownCallbackHandle Context::add_on_shutdown_callback(OnShutdownCallback callback)
{
  auto stored = std::make_shared<OnShutdownCallback>(std::move(callback));
  std::lock_guard<std::mutex> lock(mutex_);
  on_shutdown_callbacks_.push_back(stored);
  return OnShutdownCallbackHandle{stored};
}

bool Context::remove_on_shutdown_callback(const OnShutdownCallbackHandle & handle)
{
  auto callback = handle.callback.lock();
  std::lock_guard<std::mutex> lock(mutex_);
  const auto size = on_shutdown_callbacks_.size();
  on_shutdown_callbacks_.remove(callback);
  return on_shutdown_callbacks_.size() != size;
}

bool Context::sleep_for(const std::chrono::nanoseconds & nanoseconds)
{
  const auto deadline = std::chrono::steady_clock::now() + nanoseconds;
  std::unique_lock<std::mutex> lock(mutex_);
  const uint64_t shutdowns = shutdowns_;
  sleep_interrupted_.wait_until(lock, deadline, [&] {return shutdowns_ != shutdowns;});
  return valid_;
}

std::shared_ptr<rmw_fastdds::Participant> Context::participant() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (!participant_) {
    throw exceptions::RCLError(
            "", "the given context is not valid, either rcl_init() was not called or "
            "rcl_shutdown() was called.");
  }
  return participant_;
}

namespace contexts
{

Context::SharedPtr get_global_default_context()
{
  static Context::SharedPtr context = [] {
      rmw_fastdds::Participant::prepare_factory();
      return std::make_shared<Context>();
    }();
  return context;
}

}  // namespace contexts
}  // namespace rclcpp
