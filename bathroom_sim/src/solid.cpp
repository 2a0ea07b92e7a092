#include "bathroom_sim/solid.hpp"

#include <cmath>

namespace bathroom_sim
{
namespace
{

constexpr double kEpsilon = 1e-9;

void keepNearest(std::optional<Hit> & best, double distance, const Eigen::Vector3d & normal)
{
  if (distance > kEpsilon && (!best || distance < best->distance)) {
    best = Hit{distance, normal, 0.0};
  }
}

std::optional<Hit> intersectBox(
  const Eigen::Vector3d & half, const Eigen::Vector3d & o, const Eigen::Vector3d & d)
{
  double near = -INFINITY;
  double far = INFINITY;
  Eigen::Vector3d normal = Eigen::Vector3d::Zero();
  for (int axis = 0; axis < 3; ++axis) {
    if (std::abs(d[axis]) < kEpsilon) {
      if (std::abs(o[axis]) > half[axis]) {
        return std::nullopt;
      }
      continue;
    }
    double t0 = (-half[axis] - o[axis]) / d[axis];
    double t1 = (half[axis] - o[axis]) / d[axis];
    const double entrySign = t0 < t1 ? -1.0 : 1.0;
    if (t0 > t1) {
      std::swap(t0, t1);
    }
    if (t0 > near) {
      near = t0;
      normal = Eigen::Vector3d::Zero();
      normal[axis] = entrySign;
    }
    far = std::min(far, t1);
  }
  if (near > far || near <= kEpsilon) {
    return std::nullopt;
  }
  return Hit{near, normal, 0.0};
}

// Walls of radius r (outward normals for the outer wall, inward for a hole)
// and the two caps of the ring between inner and outer radius.
std::optional<Hit> intersectCylinder(
  double outer, double inner, double halfHeight, const Eigen::Vector3d & o, const Eigen::Vector3d & d)
{
  std::optional<Hit> best;
  const double a = d.x() * d.x() + d.y() * d.y();
  auto wall = [&](double radius, double side) {
      if (a < kEpsilon) {
        return;
      }
      const double b = 2 * (o.x() * d.x() + o.y() * d.y());
      const double c = o.x() * o.x() + o.y() * o.y() - radius * radius;
      const double disc = b * b - 4 * a * c;
      if (disc < 0) {
        return;
      }
      for (double sign : {-1.0, 1.0}) {
        const double t = (-b + sign * std::sqrt(disc)) / (2 * a);
        const Eigen::Vector3d p = o + t * d;
        if (std::abs(p.z()) <= halfHeight) {
          keepNearest(best, t, side * Eigen::Vector3d(p.x(), p.y(), 0) / radius);
        }
      }
    };
  wall(outer, 1.0);
  if (inner > 0) {
    wall(inner, -1.0);
  }
  if (std::abs(d.z()) > kEpsilon) {
    for (double sign : {-1.0, 1.0}) {
      const double t = (sign * halfHeight - o.z()) / d.z();
      const Eigen::Vector3d p = o + t * d;
      const double r2 = p.x() * p.x() + p.y() * p.y();
      if (r2 <= outer * outer && r2 >= inner * inner) {
        keepNearest(best, t, Eigen::Vector3d(0, 0, sign));
      }
    }
  }
  return best;
}

}  // namespace

Solid Solid::box(const Eigen::Isometry3d & pose, const Eigen::Vector3d & size, double albedo)
{
  return Solid{Kind::Box, pose, pose.inverse(), size / 2, 0.0, albedo};
}

Solid Solid::cylinder(
  const Eigen::Isometry3d & pose, double radius, double height, double albedo, double innerRadius)
{
  return Solid{Kind::Cylinder, pose, pose.inverse(), Eigen::Vector3d(radius, radius, height / 2),
    innerRadius, albedo};
}

std::optional<Hit> Solid::intersect(
  const Eigen::Vector3d & origin, const Eigen::Vector3d & direction) const
{
  const Eigen::Vector3d o = toLocal * origin;
  const Eigen::Vector3d d = toLocal.linear() * direction;
  std::optional<Hit> hit = kind == Kind::Box ?
    intersectBox(halfSize, o, d) :
    intersectCylinder(halfSize.x(), innerRadius, halfSize.z(), o, d);
  if (hit) {
    hit->normal = pose.linear() * hit->normal;
    hit->albedo = albedo;
  }
  return hit;
}

bool Solid::contains(const Eigen::Vector3d & point) const
{
  const Eigen::Vector3d p = toLocal * point;
  if (kind == Kind::Box) {
    return (p.cwiseAbs().array() <= halfSize.array()).all();
  }
  const double r2 = p.x() * p.x() + p.y() * p.y();
  return std::abs(p.z()) <= halfSize.z() && r2 <= halfSize.x() * halfSize.x() &&
         r2 >= innerRadius * innerRadius;
}

}  // namespace bathroom_sim
