#ifndef TF2_ROS__TRANSFORM_LISTENER_H_
#define TF2_ROS__TRANSFORM_LISTENER_H_

#include <atomic>
#include <memory>
#include <thread>

#include "rclcpp/rclcpp.hpp"
#include "tf2/buffer_core.h"
#include "tf2_msgs/msg/tf_message.hpp"
#include "tf2_ros/qos.hpp"

namespace tf2_ros
{

// Feeds a buffer from /tf and /tf_static. With spin_thread, the listener
// has its own node, executor and thread, so transforms keep arriving
// whatever the caller's threads do, and the buffer is told it may wait.
class TransformListener
{
public:
  explicit TransformListener(tf2::BufferCore & buffer, bool spin_thread = true);

  // Stops the listener's thread before the subscriptions go.
  virtual ~TransformListener();

  TransformListener(const TransformListener &) = delete;
  TransformListener & operator=(const TransformListener &) = delete;

private:
  void subscription_callback(tf2_msgs::msg::TFMessage::ConstSharedPtr msg, bool is_static);

  tf2::BufferCore & buffer_;
  rclcpp::Node::SharedPtr optional_default_node_;
  rclcpp::Subscription<tf2_msgs::msg::TFMessage>::SharedPtr message_subscription_tf_;
  rclcpp::Subscription<tf2_msgs::msg::TFMessage>::SharedPtr message_subscription_tf_static_;
  rclcpp::executors::SingleThreadedExecutor::SharedPtr executor_;
  std::atomic<bool> stop_{false};
  std::thread dedicated_listener_thread_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__TRANSFORM_LISTENER_H_
