// Wall timers: due on the steady clock, run by the executor.
#ifndef RCLCPP__TIMER_HPP_
#define RCLCPP__TIMER_HPP_

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

#include "rclcpp/context.hpp"
#include "rclcpp/macros.hpp"

namespace rclcpp
{

class TimerBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(TimerBase)

  TimerBase(std::chrono::nanoseconds period, Context::SharedPtr context);
  virtual ~TimerBase() = default;

  void cancel();
  bool is_canceled() const {return canceled_.load();}
  // Restarts the period from now (and un-cancels).
  void reset();
  bool is_ready() const;
  std::chrono::nanoseconds time_until_trigger() const;
  std::chrono::steady_clock::time_point next_call_time() const;

  // Runs the callback if the timer is due; advances to the next period
  // boundary after now, skipping missed ones as rcl does.
  bool execute();

protected:
  virtual void execute_callback() = 0;

private:
  std::chrono::nanoseconds period_;
  Context::SharedPtr context_;
  mutable std::mutex mutex_;
  std::chrono::steady_clock::time_point next_call_;
  std::atomic<bool> canceled_{false};
};

template<typename FunctorT>
class WallTimer : public TimerBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(WallTimer<FunctorT>)

  WallTimer(std::chrono::nanoseconds period, FunctorT && callback, Context::SharedPtr context)
  : TimerBase(period, std::move(context)), callback_(std::forward<FunctorT>(callback)) {}

protected:
  void execute_callback() override
  {
    if constexpr (std::is_invocable_v<FunctorT &, TimerBase &>) {
      callback_(*this);
    } else {
      callback_();
    }
  }

private:
  FunctorT callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__TIMER_HPP_
