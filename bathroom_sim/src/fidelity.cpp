#include "bathroom_sim/fidelity.hpp"

#include "bathroom_sim/structured_light.hpp"

namespace bathroom_sim
{

Scene cameraScene(
  Fidelity fidelity, SceneState state, const Clutter & clutter, const Eigen::Isometry3d & cameraPose)
{
  Scene scene(state, fidelity == Fidelity::Clean ? Room::Corner : Room::Whole);
  for (const Solid & solid : clutterSolids(clutter, cameraPose)) {
    scene.add(solid);
  }
  return scene;
}

cv::Mat sensorFrame(
  Fidelity fidelity, const DepthView & view, const PinholeCamera & camera, std::mt19937 & rng)
{
  return fidelity == Fidelity::Clean ? sensorDepth(view, rng) : structuredLightDepth(view, camera, rng);
}

}  // namespace bathroom_sim
