#ifndef BATHROOM_SIM__SOLID_HPP_
#define BATHROOM_SIM__SOLID_HPP_

#include <optional>

#include <Eigen/Geometry>

namespace bathroom_sim
{

// Where a ray meets a surface: distance along the (unit) ray and the outward
// surface normal, both in the scene frame.
struct Hit
{
  double distance;
  Eigen::Vector3d normal;
};

// A box or a (possibly hollow) cylinder placed in the scene by a rigid pose.
// In its own frame a box spans +-halfSize; a cylinder has its axis along z,
// outer radius halfSize.x(), half height halfSize.z(), and a hole of
// innerRadius (0: solid).
struct Solid
{
  enum class Kind {Box, Cylinder};

  static Solid box(const Eigen::Isometry3d & pose, const Eigen::Vector3d & size);
  static Solid cylinder(
    const Eigen::Isometry3d & pose, double radius, double height, double innerRadius = 0.0);

  std::optional<Hit> intersect(const Eigen::Vector3d & origin, const Eigen::Vector3d & direction) const;
  bool contains(const Eigen::Vector3d & point) const;

  Kind kind;
  Eigen::Isometry3d pose;
  Eigen::Isometry3d toLocal;
  Eigen::Vector3d halfSize;
  double innerRadius;
};

}  // namespace bathroom_sim

#endif  // BATHROOM_SIM__SOLID_HPP_
