// Runs the callbacks of its nodes on the thread that spins it, one at a
// time: timers that are due first, then subscriptions, services and
// clients with work waiting. Between rounds it sleeps until a sample arrives, a timer falls
// due, or the context shuts down.
#ifndef RCLCPP__EXECUTOR_HPP_
#define RCLCPP__EXECUTOR_HPP_

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/future_return_code.hpp"
#include "rclcpp/node.hpp"
#include "rclcpp/utilities.hpp"

namespace rclcpp
{

struct ExecutorOptions
{
  Context::SharedPtr context = contexts::get_global_default_context();
};

class Executor
{
public:
  explicit Executor(const ExecutorOptions & options = ExecutorOptions());
  virtual ~Executor();

  Executor(const Executor &) = delete;
  Executor & operator=(const Executor &) = delete;

  // Throws std::runtime_error when the node already belongs to an executor.
  void add_node(std::shared_ptr<Node> node, bool notify = true);
  void remove_node(std::shared_ptr<Node> node, bool notify = true);

  virtual void spin() = 0;
  // Runs what is ready now, for at most max_duration (0: no limit).
  void spin_some(std::chrono::nanoseconds max_duration = std::chrono::nanoseconds(0));
  // Waits up to timeout (negative: forever) for one piece of work and runs it.
  void spin_once(std::chrono::nanoseconds timeout = std::chrono::nanoseconds(-1));

  template<typename FutureT, typename TimeRepT = int64_t, typename TimeT = std::milli>
  FutureReturnCode spin_until_future_complete(
    const FutureT & future,
    std::chrono::duration<TimeRepT, TimeT> timeout = std::chrono::duration<TimeRepT, TimeT>(-1))
  {
    const auto timeout_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout);
    const auto start = std::chrono::steady_clock::now();
    if (future.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
      return FutureReturnCode::SUCCESS;
    }
    SpinningGuard guard(*this);
    while (rclcpp::ok(context_) && spinning_.load()) {
      std::chrono::nanoseconds slice = future_poll_interval;
      if (timeout_ns >= std::chrono::nanoseconds(0)) {
        const auto left = timeout_ns - (std::chrono::steady_clock::now() - start);
        if (left <= std::chrono::nanoseconds(0)) {
          return FutureReturnCode::TIMEOUT;
        }
        slice = std::min(slice, std::chrono::duration_cast<std::chrono::nanoseconds>(left));
      }
      spin_once_impl(slice);
      if (future.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        return FutureReturnCode::SUCCESS;
      }
    }
    return FutureReturnCode::INTERRUPTED;
  }

  // Makes spin() return.
  void cancel();

protected:
  // Sets and clears the spinning flag; throws when already spinning.
  class SpinningGuard
  {
public:
    explicit SpinningGuard(Executor & executor);
    ~SpinningGuard();

private:
    Executor & executor_;
  };

  // A future completed by another thread wakes no one: poll it this often.
  static constexpr std::chrono::nanoseconds future_poll_interval = std::chrono::milliseconds(10);

  bool spin_once_impl(std::chrono::nanoseconds timeout);
  bool execute_next_ready();

  Context::SharedPtr context_;
  std::atomic<bool> spinning_{false};

private:
  std::vector<std::shared_ptr<detail::NodeHandle>> live_nodes();

  std::mutex nodes_mutex_;
  std::vector<std::weak_ptr<detail::NodeHandle>> nodes_;
  size_t next_executable_ = 0;
};

}  // namespace rclcpp

#endif  // RCLCPP__EXECUTOR_HPP_
