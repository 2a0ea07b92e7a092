// A point in time of one clock type, in nanoseconds since the epoch,
// convertible to and from builtin_interfaces/msg/Time.
#ifndef RCLCPP__TIME_HPP_
#define RCLCPP__TIME_HPP_

#include <cstdint>

#include "builtin_interfaces/msg/time.hpp"
#include "rclcpp/duration.hpp"

enum rcl_clock_type_t
{
  RCL_CLOCK_UNINITIALIZED = 0,
  RCL_ROS_TIME,
  RCL_SYSTEM_TIME,
  RCL_STEADY_TIME
};

namespace rclcpp
{

class Time
{
public:
  Time(int32_t seconds, uint32_t nanoseconds, rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);
  explicit Time(int64_t nanoseconds = 0, rcl_clock_type_t clock_type = RCL_SYSTEM_TIME);
  Time(  // NOLINT(runtime/explicit)
    const builtin_interfaces::msg::Time & time_msg, rcl_clock_type_t clock_type = RCL_ROS_TIME);

  static Time max();

  operator builtin_interfaces::msg::Time() const;

  int64_t nanoseconds() const {return ns_;}
  double seconds() const {return static_cast<double>(ns_) * 1e-9;}
  rcl_clock_type_t get_clock_type() const {return clock_type_;}

  // Comparing or subtracting times of different clock types throws
  // std::runtime_error, as rclcpp does.
  bool operator==(const Time & rhs) const;
  bool operator!=(const Time & rhs) const;
  bool operator<(const Time & rhs) const;
  bool operator<=(const Time & rhs) const;
  bool operator>(const Time & rhs) const;
  bool operator>=(const Time & rhs) const;
  Time operator+(const Duration & rhs) const;
  Time operator-(const Duration & rhs) const;
  Duration operator-(const Time & rhs) const;

private:
  int64_t ns_;
  rcl_clock_type_t clock_type_;
};

}  // namespace rclcpp

#endif  // RCLCPP__TIME_HPP_
