// A signed span of time in nanoseconds, convertible to and from
// builtin_interfaces/msg/Duration and std::chrono.
#ifndef RCLCPP__DURATION_HPP_
#define RCLCPP__DURATION_HPP_

#include <chrono>
#include <cstdint>

#include "builtin_interfaces/msg/duration.hpp"

namespace rclcpp
{

class Duration
{
public:
  Duration(int32_t seconds, uint32_t nanoseconds);
  explicit Duration(std::chrono::nanoseconds nanoseconds);
  template<class Rep, class Period>
  Duration(const std::chrono::duration<Rep, Period> & duration)  // NOLINT(runtime/explicit)
  : Duration(std::chrono::duration_cast<std::chrono::nanoseconds>(duration)) {}
  Duration(const builtin_interfaces::msg::Duration & duration_msg);  // NOLINT(runtime/explicit)

  static Duration from_seconds(double seconds);
  static Duration from_nanoseconds(int64_t nanoseconds);
  static Duration max();

  operator builtin_interfaces::msg::Duration() const;

  int64_t nanoseconds() const {return ns_;}
  double seconds() const {return static_cast<double>(ns_) * 1e-9;}
  template<class DurationT>
  DurationT to_chrono() const
  {
    return std::chrono::duration_cast<DurationT>(std::chrono::nanoseconds(ns_));
  }

  bool operator==(const Duration & rhs) const {return ns_ == rhs.ns_;}
  bool operator!=(const Duration & rhs) const {return ns_ != rhs.ns_;}
  bool operator<(const Duration & rhs) const {return ns_ < rhs.ns_;}
  bool operator<=(const Duration & rhs) const {return ns_ <= rhs.ns_;}
  bool operator>(const Duration & rhs) const {return ns_ > rhs.ns_;}
  bool operator>=(const Duration & rhs) const {return ns_ >= rhs.ns_;}
  Duration operator+(const Duration & rhs) const {return from_nanoseconds(ns_ + rhs.ns_);}
  Duration operator-(const Duration & rhs) const {return from_nanoseconds(ns_ - rhs.ns_);}
  Duration operator*(double scale) const;

private:
  int64_t ns_ = 0;
};

}  // namespace rclcpp

#endif  // RCLCPP__DURATION_HPP_
