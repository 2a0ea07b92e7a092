#include "pcl_ros/transforms.hpp"

namespace pcl_ros
{

void
transformAsMatrix(const geometry_msgs::msg::TransformStamped & bt, Eigen::Matrix4f & out_mat)
{
  const auto & q = bt.transform.rotation;
  const auto & t = bt.transform.translation;

  // In double, scaled by the quaternion's squared norm so that any non-zero
  // quaternion yields a proper rotation.
  const double d = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
  const double s = 2.0 / d;
  const double xs = q.x * s, ys = q.y * s, zs = q.z * s;
  const double wx = q.w * xs, wy = q.w * ys, wz = q.w * zs;
  const double xx = q.x * xs, xy = q.x * ys, xz = q.x * zs;
  const double yy = q.y * ys, yz = q.y * zs, zz = q.z * zs;

  out_mat(0, 0) = 1.0 - (yy + zz); out_mat(0, 1) = xy - wz; out_mat(0, 2) = xz + wy;
  out_mat(1, 0) = xy + wz; out_mat(1, 1) = 1.0 - (xx + zz); out_mat(1, 2) = yz - wx;
  out_mat(2, 0) = xz - wy; out_mat(2, 1) = yz + wx; out_mat(2, 2) = 1.0 - (xx + yy);

  out_mat(3, 0) = out_mat(3, 1) = out_mat(3, 2) = 0; out_mat(3, 3) = 1;
  out_mat(0, 3) = t.x;
  out_mat(1, 3) = t.y;
  out_mat(2, 3) = t.z;
}

}  // namespace pcl_ros
