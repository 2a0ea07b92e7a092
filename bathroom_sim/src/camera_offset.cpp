#include "bathroom_sim/camera_offset.hpp"

#include <cmath>
#include <stdexcept>

namespace bathroom_sim
{

Eigen::Isometry3d offsetTransform(const std::vector<double> & v)
{
  if (v.size() != 6) {
    throw std::invalid_argument("a camera offset has 6 values: x y z roll pitch yaw");
  }
  const double degree = M_PI / 180.0;
  Eigen::Isometry3d offset = Eigen::Isometry3d::Identity();
  offset.linear() = (Eigen::AngleAxisd(v[5] * degree, Eigen::Vector3d::UnitZ()) *
    Eigen::AngleAxisd(v[4] * degree, Eigen::Vector3d::UnitY()) *
    Eigen::AngleAxisd(v[3] * degree, Eigen::Vector3d::UnitX())).toRotationMatrix();
  offset.translation() = Eigen::Vector3d(v[0], v[1], v[2]);
  return offset;
}

}  // namespace bathroom_sim
