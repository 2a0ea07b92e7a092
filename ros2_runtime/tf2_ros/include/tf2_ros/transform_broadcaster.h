#ifndef TF2_ROS__TRANSFORM_BROADCASTER_H_
#define TF2_ROS__TRANSFORM_BROADCASTER_H_

#include <memory>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2_msgs/msg/tf_message.hpp"
#include "tf2_ros/detail/node_reference.hpp"
#include "tf2_ros/qos.hpp"

namespace tf2_ros
{

// Publishes moving transforms on /tf.
class TransformBroadcaster
{
public:
  // `node`: a node, a pointer to one (`this`) or a shared pointer to one.
  template<class NodeT>
  explicit TransformBroadcaster(NodeT && node, const rclcpp::QoS & qos = DynamicBroadcasterQoS())
  : publisher_(detail::node_reference(node).template create_publisher<tf2_msgs::msg::TFMessage>(
        "/tf", qos))
  {
  }

  void sendTransform(const geometry_msgs::msg::TransformStamped & transform);

  // All in one message.
  void sendTransform(const std::vector<geometry_msgs::msg::TransformStamped> & transforms);

private:
  rclcpp::Publisher<tf2_msgs::msg::TFMessage>::SharedPtr publisher_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__TRANSFORM_BROADCASTER_H_
