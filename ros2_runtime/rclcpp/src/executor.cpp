#include "rclcpp/executor.hpp"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "rclcpp/executors.hpp"

namespace rclcpp
{

using std::chrono::steady_clock;

constexpr std::chrono::nanoseconds Executor::future_poll_interval;

std::string to_string(const FutureReturnCode & future_return_code)
{
  switch (future_return_code) {
    case FutureReturnCode::SUCCESS: return "SUCCESS (0)";
    case FutureReturnCode::INTERRUPTED: return "INTERRUPTED (1)";
    case FutureReturnCode::TIMEOUT: return "TIMEOUT (2)";
  }
  return "UNKNOWN";
}

Executor::SpinningGuard::SpinningGuard(Executor & executor)
: executor_(executor)
{
  if (executor_.spinning_.exchange(true)) {
    throw std::runtime_error("spin() called while already spinning");
  }
  executor_.context_->enter_spin();
}

Executor::SpinningGuard::~SpinningGuard()
{
  executor_.context_->leave_spin();
  executor_.spinning_ = false;
}

Executor::Executor(const ExecutorOptions & options)
: context_(options.context) {}

Executor::~Executor()
{
  for (const auto & node : live_nodes()) {
    node->associated_with_executor() = false;
  }
}

void Executor::add_node(std::shared_ptr<Node> node, bool notify)
{
  const auto & handle = node->get_node_handle();
  if (handle->associated_with_executor().exchange(true)) {
    throw std::runtime_error(
            std::string("Node '") + node->get_fully_qualified_name() +
            "' has already been added to an executor.");
  }
  {
    std::lock_guard<std::mutex> lock(nodes_mutex_);
    nodes_.push_back(handle);
  }
  if (notify) {
    context_->work_signal().notify();
  }
}

void Executor::remove_node(std::shared_ptr<Node> node, bool notify)
{
  const auto & handle = node->get_node_handle();
  {
    std::lock_guard<std::mutex> lock(nodes_mutex_);
    nodes_.erase(
      std::remove_if(
        nodes_.begin(), nodes_.end(), [&handle](const auto & weak) {
          auto locked = weak.lock();
          return !locked || locked == handle;
        }),
      nodes_.end());
  }
  handle->associated_with_executor() = false;
  if (notify) {
    context_->work_signal().notify();
  }
}

std::vector<std::shared_ptr<detail::NodeHandle>> Executor::live_nodes()
{
  std::lock_guard<std::mutex> lock(nodes_mutex_);
  std::vector<std::shared_ptr<detail::NodeHandle>> live;
  for (const auto & weak : nodes_) {
    if (auto node = weak.lock()) {
      live.push_back(node);
    }
  }
  return live;
}

void Executor::spin_some(std::chrono::nanoseconds max_duration)
{
  SpinningGuard guard(*this);
  const auto start = steady_clock::now();
  auto out_of_time = [&]() {
      return max_duration.count() > 0 && steady_clock::now() - start > max_duration;
    };
  // One pass over what is ready now: each timer and subscription at most once.
  for (const auto & node : live_nodes()) {
    for (const auto & timer : node->timers()) {
      if (!rclcpp::ok(context_) || out_of_time()) {
        return;
      }
      timer->execute();
    }
    for (const auto & executable : node->executables()) {
      if (!rclcpp::ok(context_) || out_of_time()) {
        return;
      }
      executable->execute_one();
    }
  }
}

void Executor::spin_once(std::chrono::nanoseconds timeout)
{
  SpinningGuard guard(*this);
  spin_once_impl(timeout);
}

void Executor::cancel()
{
  spinning_ = false;
  context_->work_signal().notify();
}

bool Executor::execute_next_ready()
{
  const auto nodes = live_nodes();
  for (const auto & node : nodes) {
    for (const auto & timer : node->timers()) {
      if (timer->is_ready()) {
        timer->execute();
        return true;
      }
    }
  }
  // Round robin, so a busy topic cannot starve the others.
  std::vector<std::shared_ptr<detail::Executable>> executables;
  for (const auto & node : nodes) {
    for (auto & executable : node->executables()) {
      executables.push_back(std::move(executable));
    }
  }
  for (size_t k = 0; k < executables.size(); ++k) {
    const size_t index = (next_executable_ + k) % executables.size();
    if (executables[index]->has_data()) {
      next_executable_ = index + 1;
      executables[index]->execute_one();
      return true;
    }
  }
  return false;
}

bool Executor::spin_once_impl(std::chrono::nanoseconds timeout)
{
  const auto deadline = timeout.count() < 0 ? steady_clock::time_point::max() :
    steady_clock::now() + timeout;
  auto & signal = context_->work_signal();
  while (rclcpp::ok(context_) && spinning_.load()) {
    const uint64_t seen = signal.generation();
    if (execute_next_ready()) {
      return true;
    }
    if (steady_clock::now() >= deadline) {
      return false;
    }
    auto wake = deadline;
    for (const auto & node : live_nodes()) {
      for (const auto & timer : node->timers()) {
        if (!timer->is_canceled()) {
          wake = std::min(wake, timer->next_call_time());
        }
      }
    }
    signal.wait_until(seen, wake);
  }
  return false;
}

namespace executors
{

void SingleThreadedExecutor::spin()
{
  SpinningGuard guard(*this);
  while (rclcpp::ok(context_) && spinning_.load()) {
    spin_once_impl(std::chrono::nanoseconds(-1));
  }
}

}  // namespace executors

void spin(std::shared_ptr<Node> node_ptr)
{
  executors::SingleThreadedExecutor executor;
  executor.add_node(node_ptr);
  executor.spin();
  executor.remove_node(node_ptr);
}

void spin_some(std::shared_ptr<Node> node_ptr)
{
  executors::SingleThreadedExecutor executor;
  executor.add_node(node_ptr);
  executor.spin_some();
  executor.remove_node(node_ptr);
}

}  // namespace rclcpp
