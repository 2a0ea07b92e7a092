#ifndef BATHROOM_SIM__CLUTTER_HPP_
#define BATHROOM_SIM__CLUTTER_HPP_

#include <optional>
#include <string>
#include <vector>

#include <Eigen/Geometry>

#include "bathroom_sim/solid.hpp"

namespace bathroom_sim
{

// Things in front of the camera that no map holds: a bucket on the floor
// beside the toilet, a dark towel hanging on the side wall, and the arm's
// own wrist, which reaches into the lower right corner of the image.
struct Clutter
{
  bool bucket = false;
  bool towel = false;
  bool arm = false;
};

// The clutter's solids in the scene frame; the wrist moves with the camera,
// whose pose (optical frame) places it.
std::vector<Solid> clutterSolids(const Clutter & clutter, const Eigen::Isometry3d & cameraPose);

// Clutter from the names "bucket", "towel" and "arm"; nothing when a name is
// none of them.
std::optional<Clutter> parseClutter(const std::vector<std::string> & names);

}  // namespace bathroom_sim

#endif  // BATHROOM_SIM__CLUTTER_HPP_
