#include "tf2_ros/buffer.h"

#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace tf2_ros
{

namespace
{

// How often a waiting lookup looks again.
constexpr std::chrono::milliseconds kPollPeriod(3);

void conditionally_append_timeout_info(
  std::string * errstr, const rclcpp::Time & start_time, const rclcpp::Time & current_time,
  const rclcpp::Duration & timeout)
{
  if (errstr) {
    std::stringstream ss;
    ss << ". canTransform returned after " <<
      tf2::durationToSec(fromRclcpp(current_time - start_time)) <<
      " timeout was " << tf2::durationToSec(fromRclcpp(timeout)) << ".";
    (*errstr) += ss.str();
  }
}

}  // namespace

Buffer::Buffer(rclcpp::Clock::SharedPtr clock, tf2::Duration cache_time, rclcpp::Node::SharedPtr node)
: BufferCore(cache_time), clock_(clock), node_(node)
{
  if (nullptr == clock_) {
    throw std::invalid_argument("clock must be a valid instance");
  }
}

geometry_msgs::msg::TransformStamped Buffer::lookupTransform(
  const std::string & target_frame, const std::string & source_frame,
  const tf2::TimePoint & time, const tf2::Duration timeout) const
{
  // The error text only keeps the wait quiet; the lookup reports the failure.
  std::string error;
  canTransform(target_frame, source_frame, time, timeout, &error);
  return lookupTransform(target_frame, source_frame, time);
}

bool Buffer::canTransform(
  const std::string & target_frame, const std::string & source_frame,
  const tf2::TimePoint & time, const tf2::Duration timeout, std::string * errstr) const
{
  if (timeout != tf2::durationFromSec(0.0) && !checkAndErrorDedicatedThreadPresent(errstr)) {
    return false;
  }

  const rclcpp::Duration rclcpp_timeout(toRclcpp(timeout));
  const rclcpp::Time start_time = clock_->now();
  while (clock_->now() < start_time + rclcpp_timeout &&
    !canTransform(target_frame, source_frame, time, errstr) &&
    // A clock that jumped back by more than 3 s (a replayed log) ends the wait.
    (clock_->now() + rclcpp::Duration(3, 0) >= start_time) &&
    rclcpp::ok())
  {
    std::this_thread::sleep_for(kPollPeriod);
  }
  const bool retval = canTransform(target_frame, source_frame, time, errstr);
  conditionally_append_timeout_info(errstr, start_time, clock_->now(), rclcpp_timeout);
  return retval;
}

bool Buffer::checkAndErrorDedicatedThreadPresent(std::string * errstr) const
{
  if (isUsingDedicatedThread()) {
    return true;
  }
  if (errstr) {
    *errstr = threading_error;
  }
  RCLCPP_ERROR(getLogger(), "%s", threading_error);
  return false;
}

rclcpp::Logger Buffer::getLogger() const
{
  return node_ ? node_->get_logger() : rclcpp::get_logger("tf2_buffer");
}

}  // namespace tf2_ros
