// How waiting threads learn that something changed in a context: a sample
// arrived, a timer was reset, shutdown began. Notifiers bump a generation;
// a waiter that saw generation g sleeps until it moves on from g.
#ifndef RCLCPP__DETAIL__WORK_SIGNAL_HPP_
#define RCLCPP__DETAIL__WORK_SIGNAL_HPP_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace rclcpp
{
namespace detail
{

class WorkSignal
{
public:
  uint64_t generation() const
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return generation_;
  }

  void notify()
  {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++generation_;
    }
    changed_.notify_all();
  }

  // True when notified after `seen`, false when the deadline came first.
  bool wait_until(uint64_t seen, std::chrono::steady_clock::time_point deadline)
  {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_until(lock, deadline, [&] {return generation_ != seen;});
  }

private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t generation_ = 0;
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__WORK_SIGNAL_HPP_
