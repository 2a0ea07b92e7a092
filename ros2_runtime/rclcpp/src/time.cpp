#include "rclcpp/time.hpp"

#include <chrono>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "rclcpp/clock.hpp"
#include "rclcpp/duration.hpp"

namespace rclcpp
{
namespace
{

constexpr int64_t ns_per_s = 1000000000LL;

void check_same_clock(const Time & a, const Time & b, const char * what)
{
  if (a.get_clock_type() != b.get_clock_type()) {
    throw std::runtime_error(std::string("can't ") + what + " times with different time sources");
  }
}

}  // namespace

Duration::Duration(int32_t seconds, uint32_t nanoseconds)
: ns_(static_cast<int64_t>(seconds) * ns_per_s + nanoseconds) {}

Duration::Duration(std::chrono::nanoseconds nanoseconds)
: ns_(nanoseconds.count()) {}

Duration::Duration(const builtin_interfaces::msg::Duration & duration_msg)
: ns_(static_cast<int64_t>(duration_msg.sec) * ns_per_s + duration_msg.nanosec) {}

Duration Duration::from_seconds(double seconds)
{
  return Duration(std::chrono::nanoseconds(static_cast<int64_t>(std::llround(seconds * 1e9))));
}

Duration Duration::from_nanoseconds(int64_t nanoseconds)
{
  return Duration(std::chrono::nanoseconds(nanoseconds));
}

Duration Duration::max()
{
  return Duration(std::numeric_limits<int32_t>::max(), 999999999);
}

Duration::operator builtin_interfaces::msg::Duration() const
{
  builtin_interfaces::msg::Duration msg;
  int64_t sec = ns_ / ns_per_s;
  int64_t nsec = ns_ % ns_per_s;
  if (nsec < 0) {
    sec -= 1;
    nsec += ns_per_s;
  }
  msg.sec = static_cast<int32_t>(sec);
  msg.nanosec = static_cast<uint32_t>(nsec);
  return msg;
}

Duration Duration::operator*(double scale) const
{
  return from_nanoseconds(static_cast<int64_t>(std::llround(static_cast<double>(ns_) * scale)));
}

Time::Time(int32_t seconds, uint32_t nanoseconds, rcl_clock_type_t clock_type)
: ns_(static_cast<int64_t>(seconds) * ns_per_s + nanoseconds), clock_type_(clock_type)
{
  if (seconds < 0) {
    throw std::runtime_error("cannot store a negative time point in rclcpp::Time");
  }
}

Time::Time(int64_t nanoseconds, rcl_clock_type_t clock_type)
: ns_(nanoseconds), clock_type_(clock_type) {}

Time::Time(const builtin_interfaces::msg::Time & time_msg, rcl_clock_type_t clock_type)
: Time(time_msg.sec, time_msg.nanosec, clock_type) {}

Time Time::max()
{
  return Time(std::numeric_limits<int32_t>::max(), 999999999);
}

Time::operator builtin_interfaces::msg::Time() const
{
  builtin_interfaces::msg::Time msg;
  msg.sec = static_cast<int32_t>(ns_ / ns_per_s);
  msg.nanosec = static_cast<uint32_t>(ns_ % ns_per_s);
  return msg;
}

bool Time::operator==(const Time & rhs) const
{
  check_same_clock(*this, rhs, "compare");
  return ns_ == rhs.ns_;
}

bool Time::operator!=(const Time & rhs) const {return !(*this == rhs);}

bool Time::operator<(const Time & rhs) const
{
  check_same_clock(*this, rhs, "compare");
  return ns_ < rhs.ns_;
}

bool Time::operator<=(const Time & rhs) const
{
  check_same_clock(*this, rhs, "compare");
  return ns_ <= rhs.ns_;
}

bool Time::operator>(const Time & rhs) const
{
  check_same_clock(*this, rhs, "compare");
  return ns_ > rhs.ns_;
}

bool Time::operator>=(const Time & rhs) const
{
  check_same_clock(*this, rhs, "compare");
  return ns_ >= rhs.ns_;
}

Time Time::operator+(const Duration & rhs) const
{
  return Time(ns_ + rhs.nanoseconds(), clock_type_);
}

Time Time::operator-(const Duration & rhs) const
{
  return Time(ns_ - rhs.nanoseconds(), clock_type_);
}

Duration Time::operator-(const Time & rhs) const
{
  check_same_clock(*this, rhs, "subtract");
  return Duration::from_nanoseconds(ns_ - rhs.ns_);
}

Clock::Clock(rcl_clock_type_t clock_type)
: clock_type_(clock_type) {}

Time Clock::now() const
{
  const auto since_epoch = clock_type_ == RCL_STEADY_TIME ?
    std::chrono::steady_clock::now().time_since_epoch() :
    std::chrono::system_clock::now().time_since_epoch();
  return Time(
    std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count(), clock_type_);
}

}  // namespace rclcpp
