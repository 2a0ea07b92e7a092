// A source of time. ROS time equals system time here: simulated time is
// not supported.
#ifndef RCLCPP__CLOCK_HPP_
#define RCLCPP__CLOCK_HPP_

#include <memory>

#include "rclcpp/macros.hpp"
#include "rclcpp/time.hpp"

namespace rclcpp
{

class Clock
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Clock)

  explicit Clock(rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);

  Time now() const;
  rcl_clock_type_t get_clock_type() const {return clock_type_;}

private:
  rcl_clock_type_t clock_type_;
};

}  // namespace rclcpp

#endif  // RCLCPP__CLOCK_HPP_
