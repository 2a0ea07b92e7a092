#ifndef TF2_ROS__STATIC_TRANSFORM_BROADCASTER_H_
#define TF2_ROS__STATIC_TRANSFORM_BROADCASTER_H_

#include <memory>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2_msgs/msg/tf_message.hpp"
#include "tf2_ros/detail/node_reference.hpp"
#include "tf2_ros/qos.hpp"

namespace tf2_ros
{

// Publishes fixed transforms on /tf_static. The publisher is transient
// local and every message carries all transforms sent so far (the latest
// per child frame), so one message tells a late listener everything.
class StaticTransformBroadcaster
{
public:
  // `node`: a node, a pointer to one (`this`) or a shared pointer to one.
  template<class NodeT>
  explicit StaticTransformBroadcaster(
    NodeT && node, const rclcpp::QoS & qos = StaticBroadcasterQoS())
  : publisher_(detail::node_reference(node).template create_publisher<tf2_msgs::msg::TFMessage>(
        "/tf_static", qos))
  {
  }

  void sendTransform(const geometry_msgs::msg::TransformStamped & transform);

  void sendTransform(const std::vector<geometry_msgs::msg::TransformStamped> & transforms);

private:
  rclcpp::Publisher<tf2_msgs::msg::TFMessage>::SharedPtr publisher_;
  tf2_msgs::msg::TFMessage net_message_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__STATIC_TRANSFORM_BROADCASTER_H_
