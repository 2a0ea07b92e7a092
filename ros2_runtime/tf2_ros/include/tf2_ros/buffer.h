#ifndef TF2_ROS__BUFFER_H_
#define TF2_ROS__BUFFER_H_

#include <chrono>
#include <memory>
#include <string>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2/buffer_core.h"
#include "tf2/time.h"

namespace tf2_ros
{

inline tf2::TimePoint fromRclcpp(const rclcpp::Time & time)
{
  return tf2::TimePoint(std::chrono::nanoseconds(time.nanoseconds()));
}

inline rclcpp::Time toRclcpp(const tf2::TimePoint & time)
{
  return rclcpp::Time(time.time_since_epoch().count());
}

inline tf2::Duration fromRclcpp(const rclcpp::Duration & duration)
{
  return tf2::Duration(std::chrono::nanoseconds(duration.nanoseconds()));
}

inline rclcpp::Duration toRclcpp(const tf2::Duration & duration)
{
  return rclcpp::Duration(std::chrono::nanoseconds(duration));
}

static const char threading_error[] =
  "Do not call canTransform or lookupTransform with a timeout unless you are using another "
  "thread for populating data. Without a dedicated thread it will always timeout.  If you have "
  "a separate thread servicing tf messages, call setUsingDedicatedThread(true) on your Buffer "
  "instance.";

// The frame tree of tf2::BufferCore, read on a ROS clock: lookups may wait
// for a transform that another thread (a TransformListener's) is about to
// insert.
class Buffer : public tf2::BufferCore
{
public:
  using SharedPtr = std::shared_ptr<Buffer>;

  // Throws std::invalid_argument without a clock. The node, when given,
  // names the logger of the buffer's errors.
  Buffer(
    rclcpp::Clock::SharedPtr clock,
    tf2::Duration cache_time = tf2::Duration(tf2::BUFFER_CORE_DEFAULT_CACHE_TIME),
    rclcpp::Node::SharedPtr node = rclcpp::Node::SharedPtr());

  using tf2::BufferCore::canTransform;
  using tf2::BufferCore::lookupTransform;

  // Waits up to `timeout` for the transform to become available, then
  // looks it up: the exceptions are tf2::BufferCore::lookupTransform's.
  geometry_msgs::msg::TransformStamped lookupTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & time, const tf2::Duration timeout) const;

  geometry_msgs::msg::TransformStamped lookupTransform(
    const std::string & target_frame, const std::string & source_frame,
    const rclcpp::Time & time,
    const rclcpp::Duration timeout = rclcpp::Duration::from_nanoseconds(0)) const
  {
    return lookupTransform(target_frame, source_frame, fromRclcpp(time), fromRclcpp(timeout));
  }

  // Polls until the transform is available or `timeout` has passed on the
  // clock; errstr then tells why not and how long it waited.
  bool canTransform(
    const std::string & target_frame, const std::string & source_frame,
    const tf2::TimePoint & target_time, const tf2::Duration timeout,
    std::string * errstr = nullptr) const;

  bool canTransform(
    const std::string & target_frame, const std::string & source_frame,
    const rclcpp::Time & time,
    const rclcpp::Duration timeout = rclcpp::Duration::from_nanoseconds(0),
    std::string * errstr = nullptr) const
  {
    return canTransform(target_frame, source_frame, fromRclcpp(time), fromRclcpp(timeout), errstr);
  }

private:
  bool checkAndErrorDedicatedThreadPresent(std::string * errstr) const;
  rclcpp::Logger getLogger() const;

  rclcpp::Clock::SharedPtr clock_;
  rclcpp::Node::SharedPtr node_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__BUFFER_H_
