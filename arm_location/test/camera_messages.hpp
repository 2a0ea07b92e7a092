#ifndef ARM_LOCATION__TEST__CAMERA_MESSAGES_HPP_
#define ARM_LOCATION__TEST__CAMERA_MESSAGES_HPP_

#include <cstdint>

#include <Eigen/Geometry>
#include <geometry_msgs/msg/transform_stamped.hpp>
#include <opencv2/core.hpp>
#include <sensor_msgs/msg/image.hpp>

// What the arm's depth camera sends the node, in the frames it is run with.
namespace camera_messages
{

inline const char kBase[] = "arm_base_link";
inline const char kOptical[] = "camera_depth_optical_frame";

// A CV_16UC1 depth image in millimetres as the camera publishes it.
inline sensor_msgs::msg::Image depthImage(const cv::Mat & depth16)
{
  sensor_msgs::msg::Image image;
  image.header.frame_id = kOptical;
  image.height = static_cast<std::uint32_t>(depth16.rows);
  image.width = static_cast<std::uint32_t>(depth16.cols);
  image.encoding = "16UC1";
  image.step = image.width * 2;
  image.data.assign(depth16.datastart, depth16.dataend);
  return image;
}

// The camera's optical frame posed in the arm's base frame.
inline geometry_msgs::msg::TransformStamped cameraTransform(const Eigen::Isometry3d & pose)
{
  geometry_msgs::msg::TransformStamped tf;
  tf.header.frame_id = kBase;
  tf.child_frame_id = kOptical;
  const Eigen::Quaterniond q(pose.linear());
  tf.transform.translation.x = pose.translation().x();
  tf.transform.translation.y = pose.translation().y();
  tf.transform.translation.z = pose.translation().z();
  tf.transform.rotation.x = q.x();
  tf.transform.rotation.y = q.y();
  tf.transform.rotation.z = q.z();
  tf.transform.rotation.w = q.w();
  return tf;
}

}  // namespace camera_messages

#endif  // ARM_LOCATION__TEST__CAMERA_MESSAGES_HPP_
