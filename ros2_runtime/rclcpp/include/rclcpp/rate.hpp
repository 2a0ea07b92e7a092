// Loop pacing: sleep() waits out the rest of the current period (waking
// early on shutdown) and says whether there was any time left to wait.
#ifndef RCLCPP__RATE_HPP_
#define RCLCPP__RATE_HPP_

#include <chrono>

#include "rclcpp/macros.hpp"
#include "rclcpp/utilities.hpp"

namespace rclcpp
{

template<class Clock = std::chrono::high_resolution_clock>
class GenericRate
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(GenericRate)

  explicit GenericRate(double rate)
  : GenericRate(std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::duration<double>(1.0 / rate))) {}
  explicit GenericRate(std::chrono::nanoseconds period)
  : period_(period), last_interval_(Clock::now()) {}

  bool sleep()
  {
    const auto now = Clock::now();
    auto next_interval = last_interval_ + period_;
    if (now < last_interval_) {
      next_interval = now + period_;  // the clock went backwards
    }
    const auto time_to_sleep = next_interval - now;
    last_interval_ += period_;
    if (time_to_sleep <= std::chrono::seconds(0)) {
      // A whole missed cycle restarts the schedule.
      if (now > next_interval + period_) {
        last_interval_ = now + period_;
      }
      return false;
    }
    rclcpp::sleep_for(std::chrono::duration_cast<std::chrono::nanoseconds>(time_to_sleep));
    return true;
  }

  void reset() {last_interval_ = Clock::now();}
  std::chrono::nanoseconds period() const {return period_;}

private:
  std::chrono::nanoseconds period_;
  typename Clock::time_point last_interval_;
};

using Rate = GenericRate<std::chrono::system_clock>;
using WallRate = GenericRate<std::chrono::steady_clock>;

}  // namespace rclcpp

#endif  // RCLCPP__RATE_HPP_
