#include "tf2_ros/static_transform_broadcaster.h"

#include <algorithm>
#include <vector>

namespace tf2_ros
{

void StaticTransformBroadcaster::sendTransform(
  const geometry_msgs::msg::TransformStamped & transform)
{
  sendTransform(std::vector<geometry_msgs::msg::TransformStamped>{transform});
}

void StaticTransformBroadcaster::sendTransform(
  const std::vector<geometry_msgs::msg::TransformStamped> & transforms)
{
  for (const auto & in : transforms) {
    auto known = std::find_if(
      net_message_.transforms.begin(), net_message_.transforms.end(),
      [&](const geometry_msgs::msg::TransformStamped & t) {
        return t.child_frame_id == in.child_frame_id;
      });
    if (known != net_message_.transforms.end()) {
      *known = in;
    } else {
      net_message_.transforms.push_back(in);
    }
  }
  publisher_->publish(net_message_);
}

}  // namespace tf2_ros
