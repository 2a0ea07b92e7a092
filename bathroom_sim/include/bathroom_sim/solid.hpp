#ifndef BATHROOM_SIM__SOLID_HPP_
#define BATHROOM_SIM__SOLID_HPP_

#include <optional>

#include <Eigen/Geometry>

namespace bathroom_sim
{

// Where a ray meets a surface: distance along the (unit) ray and the outward
// surface normal, both in the scene frame, and the surface's albedo.
struct Hit
{
  double distance;
  Eigen::Vector3d normal;
  double albedo;
};

// A box or a (possibly hollow) cylinder placed in the scene by a rigid pose.
// In its own frame a box spans +-halfSize; a cylinder has its axis along z,
// outer radius halfSize.x(), half height halfSize.z(), and a hole of
// innerRadius (0: solid). Its albedo is the share of a depth sensor's
// infrared light its surface sends back diffusely: about 0.8 for white tiles
// and ceramics, under 0.1 for black cloth, 0 for a mirror.
struct Solid
{
  enum class Kind {Box, Cylinder};

  static Solid box(const Eigen::Isometry3d & pose, const Eigen::Vector3d & size, double albedo);
  static Solid cylinder(
    const Eigen::Isometry3d & pose, double radius, double height, double albedo,
    double innerRadius = 0.0);

  std::optional<Hit> intersect(const Eigen::Vector3d & origin, const Eigen::Vector3d & direction) const;
  bool contains(const Eigen::Vector3d & point) const;

  Kind kind;
  Eigen::Isometry3d pose;
  Eigen::Isometry3d toLocal;
  Eigen::Vector3d halfSize;
  double innerRadius;
  double albedo;
};

}  // namespace bathroom_sim

#endif  // BATHROOM_SIM__SOLID_HPP_
