#ifndef BATHROOM_SIM__BENCHMARK_VIEWS_HPP_
#define BATHROOM_SIM__BENCHMARK_VIEWS_HPP_

#include <string>
#include <vector>

#include <Eigen/Geometry>

#include "bathroom_sim/bathroom_scene.hpp"
#include "bathroom_sim/clutter.hpp"

namespace bathroom_sim
{

// A camera on the arm looking at the toilet from eye at target, in one state
// of the scene and with some clutter about.
struct BenchmarkView
{
  std::string name;
  Eigen::Vector3d eye;
  Eigen::Vector3d target;
  SceneState state;
  Clutter clutter;
};

// The view's true camera pose (optical frame in the scene frame): the pose a
// perfect localization answers.
Eigen::Isometry3d viewPose(const BenchmarkView & view);

// Views of the realistic scene as an arm in front of the toilet has them,
// near and far, high and low, in every state: some with clutter in view, and
// some reaching past the map's edge to the vanity, the mirror, the cabinet
// or the far floor.
const std::vector<BenchmarkView> & benchmarkViews();

}  // namespace bathroom_sim

#endif  // BATHROOM_SIM__BENCHMARK_VIEWS_HPP_
