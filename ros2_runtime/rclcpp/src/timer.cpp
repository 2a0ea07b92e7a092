#include "rclcpp/timer.hpp"

#include <chrono>

namespace rclcpp
{

using std::chrono::steady_clock;

TimerBase::TimerBase(std::chrono::nanoseconds period, Context::SharedPtr context)
: period_(period), context_(std::move(context)), next_call_(steady_clock::now() + period) {}

void TimerBase::cancel()
{
  canceled_ = true;
  context_->work_signal().notify();
}

void TimerBase::reset()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    next_call_ = steady_clock::now() + period_;
  }
  canceled_ = false;
  context_->work_signal().notify();
}

bool TimerBase::is_ready() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return !canceled_ && steady_clock::now() >= next_call_;
}

std::chrono::nanoseconds TimerBase::time_until_trigger() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return std::chrono::duration_cast<std::chrono::nanoseconds>(next_call_ - steady_clock::now());
}

steady_clock::time_point TimerBase::next_call_time() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return next_call_;
}

bool TimerBase::execute()
{
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = steady_clock::now();
    if (canceled_ || now < next_call_) {
      return false;
    }
    next_call_ += period_;
    if (next_call_ <= now && period_.count() > 0) {
      const auto missed = (now - next_call_) / period_ + 1;
      next_call_ += missed * period_;
    }
  }
  execute_callback();
  return true;
}

}  // namespace rclcpp
