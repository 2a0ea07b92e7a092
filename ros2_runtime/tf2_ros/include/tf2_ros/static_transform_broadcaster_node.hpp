#ifndef TF2_ROS__STATIC_TRANSFORM_BROADCASTER_NODE_HPP_
#define TF2_ROS__STATIC_TRANSFORM_BROADCASTER_NODE_HPP_

#include <memory>

#include "rclcpp/rclcpp.hpp"
#include "tf2_ros/static_transform_broadcaster.h"

namespace tf2_ros
{

// A node that sends one static transform, read from its read-only
// parameters (translation.x/y/z, rotation.x/y/z/w, frame_id,
// child_frame_id), under a name of its own per process. Throws
// std::runtime_error when the two frames are the same.
class StaticTransformBroadcasterNode : public rclcpp::Node
{
public:
  explicit StaticTransformBroadcasterNode(const rclcpp::NodeOptions & options);

private:
  std::unique_ptr<StaticTransformBroadcaster> broadcaster_;
};

}  // namespace tf2_ros

#endif  // TF2_ROS__STATIC_TRANSFORM_BROADCASTER_NODE_HPP_
