// transformAsMatrix against rotation matrices Eigen computes from the
// normalised quaternion.

#include <gtest/gtest.h>

#include <Eigen/Geometry>

#include <cmath>

#include "pcl_ros/transforms.hpp"

namespace
{

geometry_msgs::msg::TransformStamped transform(
  double qx, double qy, double qz, double qw, double tx, double ty, double tz)
{
  geometry_msgs::msg::TransformStamped msg;
  msg.transform.rotation.x = qx;
  msg.transform.rotation.y = qy;
  msg.transform.rotation.z = qz;
  msg.transform.rotation.w = qw;
  msg.transform.translation.x = tx;
  msg.transform.translation.y = ty;
  msg.transform.translation.z = tz;
  return msg;
}

void expectMatrix(
  const geometry_msgs::msg::TransformStamped & msg, const Eigen::Matrix3d & rotation)
{
  Eigen::Matrix4f out;
  pcl_ros::transformAsMatrix(msg, out);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      EXPECT_NEAR(out(r, c), rotation(r, c), 1e-6) << r << "," << c;
    }
  }
  EXPECT_EQ(out(0, 3), static_cast<float>(msg.transform.translation.x));
  EXPECT_EQ(out(1, 3), static_cast<float>(msg.transform.translation.y));
  EXPECT_EQ(out(2, 3), static_cast<float>(msg.transform.translation.z));
  EXPECT_EQ(out.row(3), Eigen::RowVector4f(0, 0, 0, 1));
}

TEST(TransformAsMatrix, IdentityQuaternionGivesIdentityRotation)
{
  expectMatrix(transform(0, 0, 0, 1, 0, 0, 0), Eigen::Matrix3d::Identity());
}

TEST(TransformAsMatrix, UnitQuaternionGivesItsRotation)
{
  const Eigen::Quaterniond q =
    Eigen::AngleAxisd(0.3, Eigen::Vector3d::UnitZ()) *
    Eigen::AngleAxisd(-1.1, Eigen::Vector3d::UnitY()) *
    Eigen::AngleAxisd(2.0, Eigen::Vector3d::UnitX());
  expectMatrix(transform(q.x(), q.y(), q.z(), q.w(), 0.1, -2.5, 3.75), q.toRotationMatrix());

  // A quarter turn about z carries x onto y.
  Eigen::Matrix4f out;
  pcl_ros::transformAsMatrix(transform(0, 0, std::sqrt(0.5), std::sqrt(0.5), 1, 2, 3), out);
  const Eigen::Vector4f p = out * Eigen::Vector4f(1, 0, 0, 1);
  EXPECT_NEAR(p.x(), 1.0f, 1e-6);
  EXPECT_NEAR(p.y(), 3.0f, 1e-6);
  EXPECT_NEAR(p.z(), 3.0f, 1e-6);
}

TEST(TransformAsMatrix, NonUnitQuaternionStillGivesAProperRotation)
{
  const Eigen::Quaterniond q(0.2, -0.4, 0.7, 1.3);  // w, x, y, z; norm about 1.55
  expectMatrix(
    transform(q.x(), q.y(), q.z(), q.w(), -1, 0, 4), q.normalized().toRotationMatrix());

  Eigen::Matrix4f out;
  pcl_ros::transformAsMatrix(transform(0, 0, 0, 5, 0, 0, 0), out);
  EXPECT_TRUE(out.isApprox(Eigen::Matrix4f::Identity()));

  pcl_ros::transformAsMatrix(transform(3, 1, -2, 0.5, 0, 0, 0), out);
  const Eigen::Matrix3f r = out.topLeftCorner<3, 3>();
  EXPECT_TRUE((r * r.transpose()).isApprox(Eigen::Matrix3f::Identity(), 1e-6f));
  EXPECT_NEAR(r.determinant(), 1.0f, 1e-6);
}

}  // namespace
