#include "tf2_ros/static_transform_broadcaster_node.hpp"

#include <random>
#include <stdexcept>
#include <string>

namespace tf2_ros
{
namespace
{

// Several publishers may run at once, so each node gets a random suffix.
std::string unique_node_name()
{
  static const std::string chars =
    "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::minstd_rand generator{std::random_device{}()};
  std::uniform_int_distribution<size_t> pick(0, chars.size() - 1);
  std::string name = "static_transform_publisher_";
  for (int i = 0; i < 16; ++i) {
    name += chars[pick(generator)];
  }
  return name;
}

}  // namespace

StaticTransformBroadcasterNode::StaticTransformBroadcasterNode(const rclcpp::NodeOptions & options)
: rclcpp::Node(unique_node_name(), options)
{
  rcl_interfaces::msg::ParameterDescriptor descriptor;
  descriptor.read_only = true;
  geometry_msgs::msg::TransformStamped transform;
  transform.header.stamp = now();
  transform.transform.translation.x = declare_parameter("translation.x", 0.0, descriptor);
  transform.transform.translation.y = declare_parameter("translation.y", 0.0, descriptor);
  transform.transform.translation.z = declare_parameter("translation.z", 0.0, descriptor);
  transform.transform.rotation.x = declare_parameter("rotation.x", 0.0, descriptor);
  transform.transform.rotation.y = declare_parameter("rotation.y", 0.0, descriptor);
  transform.transform.rotation.z = declare_parameter("rotation.z", 0.0, descriptor);
  transform.transform.rotation.w = declare_parameter("rotation.w", 1.0, descriptor);
  transform.header.frame_id = declare_parameter("frame_id", std::string("/frame"), descriptor);
  transform.child_frame_id = declare_parameter("child_frame_id", std::string("/child"), descriptor);
  if (transform.header.frame_id == transform.child_frame_id) {
    RCLCPP_ERROR(
      get_logger(), "cannot publish static transform from '%s' to '%s', exiting",
      transform.header.frame_id.c_str(), transform.child_frame_id.c_str());
    throw std::runtime_error("child_frame_id cannot equal frame_id");
  }
  broadcaster_ = std::make_unique<StaticTransformBroadcaster>(this);
  broadcaster_->sendTransform(transform);
}

}  // namespace tf2_ros
