#include "tf2_ros/transform_listener.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace tf2_ros
{

namespace
{

// How long the listener's thread waits for work before it looks whether it
// should stop; a stop request also wakes it at once.
constexpr std::chrono::milliseconds kStopCheckPeriod(100);

}  // namespace

TransformListener::TransformListener(tf2::BufferCore & buffer, bool spin_thread)
: buffer_(buffer)
{
  // A name of its own per listener, immune to a __node remapping given on
  // the command line for the user's node.
  char node_name[42];
  std::snprintf(
    node_name, sizeof(node_name), "transform_listener_impl_%zx", reinterpret_cast<size_t>(this));
  optional_default_node_ = std::make_shared<rclcpp::Node>(
    node_name, rclcpp::NodeOptions().use_global_arguments(false));

  message_subscription_tf_ =
    optional_default_node_->create_subscription<tf2_msgs::msg::TFMessage>(
    "/tf", DynamicListenerQoS(),
    [this](tf2_msgs::msg::TFMessage::ConstSharedPtr msg) {subscription_callback(msg, false);});
  message_subscription_tf_static_ =
    optional_default_node_->create_subscription<tf2_msgs::msg::TFMessage>(
    "/tf_static", StaticListenerQoS(),
    [this](tf2_msgs::msg::TFMessage::ConstSharedPtr msg) {subscription_callback(msg, true);});

  if (spin_thread) {
    executor_ = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
    executor_->add_node(optional_default_node_);
    dedicated_listener_thread_ = std::thread(
      [this]() {
        while (!stop_.load() && rclcpp::ok()) {
          executor_->spin_once(kStopCheckPeriod);
        }
      });
    buffer_.setUsingDedicatedThread(true);
  }
}

TransformListener::~TransformListener()
{
  if (dedicated_listener_thread_.joinable()) {
    stop_ = true;
    executor_->cancel();
    dedicated_listener_thread_.join();
  }
}

void TransformListener::subscription_callback(
  tf2_msgs::msg::TFMessage::ConstSharedPtr msg, bool is_static)
{
  // DDS does not tell who published a sample.
  const std::string authority = "Authority undetectable";
  for (const auto & transform : msg->transforms) {
    buffer_.setTransform(transform, authority, is_static);
  }
}

}  // namespace tf2_ros
