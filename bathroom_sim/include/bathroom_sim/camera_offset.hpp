#ifndef BATHROOM_SIM__CAMERA_OFFSET_HPP_
#define BATHROOM_SIM__CAMERA_OFFSET_HPP_

#include <vector>

#include <Eigen/Geometry>

namespace bathroom_sim
{

// The error the simulated camera puts into the TF it publishes, given as
// x, y, z in metres and roll, pitch, yaw in degrees, applied in the base
// frame: published = offset * true pose. A perfect localization answers the
// inverse of the offset.
Eigen::Isometry3d offsetTransform(const std::vector<double> & xyzRollPitchYaw);

}  // namespace bathroom_sim

#endif  // BATHROOM_SIM__CAMERA_OFFSET_HPP_
