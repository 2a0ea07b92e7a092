#ifndef BATHROOM_SIM__FIDELITY_HPP_
#define BATHROOM_SIM__FIDELITY_HPP_

#include <random>

#include <Eigen/Geometry>
#include <opencv2/core.hpp>

#include "bathroom_sim/bathroom_scene.hpp"
#include "bathroom_sim/clutter.hpp"
#include "bathroom_sim/depth_camera.hpp"

namespace bathroom_sim
{

// Which simulation runs: the clean one (the toilet's corner, the mild noise
// of sensorDepth and maps from ideal views), or the realistic one, as hard as
// real data (the whole room, the structured-light sensor and maps fused by a
// mapping run).
enum class Fidelity {Clean, Realistic};

// The scene a camera at cameraPose looks at, with the clutter given.
Scene cameraScene(
  Fidelity fidelity, SceneState state, const Clutter & clutter, const Eigen::Isometry3d & cameraPose);

// One frame of the simulation's sensor from the ideal view.
cv::Mat sensorFrame(
  Fidelity fidelity, const DepthView & view, const PinholeCamera & camera, std::mt19937 & rng);

}  // namespace bathroom_sim

#endif  // BATHROOM_SIM__FIDELITY_HPP_
