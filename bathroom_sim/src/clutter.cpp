#include "bathroom_sim/clutter.hpp"

namespace bathroom_sim
{
namespace
{

Eigen::Isometry3d at(double x, double y, double z)
{
  return Eigen::Isometry3d(Eigen::Translation3d(x, y, z));
}

}  // namespace

std::vector<Solid> clutterSolids(const Clutter & clutter, const Eigen::Isometry3d & cameraPose)
{
  std::vector<Solid> solids;
  if (clutter.bucket) {
    // Dark blue plastic, open at the top.
    solids.push_back(Solid::cylinder(at(0.95, -0.3, 0.14), 0.14, 0.28, 0.15, 0.13));
    solids.push_back(Solid::cylinder(at(0.95, -0.3, 0.005), 0.13, 0.01, 0.15));
  }
  if (clutter.towel) {
    // Black cotton folded over a rail, 3 cm thick.
    solids.push_back(Solid::box(at(1.0, -0.57, 0.85), Eigen::Vector3d(0.5, 0.03, 0.6), 0.08));
  }
  if (clutter.arm) {
    // The wrist runs forward from beside the lens, nearest where the sensor
    // no longer measures.
    solids.push_back(Solid::cylinder(cameraPose * at(0.2, 0.17, 0.6), 0.035, 0.3, 0.5));
  }
  return solids;
}

std::optional<Clutter> parseClutter(const std::vector<std::string> & names)
{
  Clutter clutter;
  for (const std::string & name : names) {
    if (name == "bucket") {
      clutter.bucket = true;
    } else if (name == "towel") {
      clutter.towel = true;
    } else if (name == "arm") {
      clutter.arm = true;
    } else {
      return std::nullopt;
    }
  }
  return clutter;
}

}  // namespace bathroom_sim
