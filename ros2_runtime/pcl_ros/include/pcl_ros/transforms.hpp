#ifndef PCL_ROS__TRANSFORMS_HPP_
#define PCL_ROS__TRANSFORMS_HPP_

#include <Eigen/Core>

#include "geometry_msgs/msg/transform_stamped.hpp"

namespace pcl_ros
{

/** \brief Obtain the transformation matrix from TF into an Eigen form
  * \param bt the TF transformation
  * \param out_mat the Eigen transformation: rotation in the upper-left
  * block, translation in the last column, bottom row 0 0 0 1
  */
void
transformAsMatrix(const geometry_msgs::msg::TransformStamped & bt, Eigen::Matrix4f & out_mat);

}  // namespace pcl_ros

#endif  // PCL_ROS__TRANSFORMS_HPP_
