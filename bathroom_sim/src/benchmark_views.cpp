#include "bathroom_sim/benchmark_views.hpp"

#include "bathroom_sim/depth_camera.hpp"

namespace bathroom_sim
{

Eigen::Isometry3d viewPose(const BenchmarkView & view)
{
  return lookAt(view.eye, view.target);
}

const std::vector<BenchmarkView> & benchmarkViews()
{
  static const std::vector<BenchmarkView> views = {
    {"front_high", {1.25, 0.25, 1.05}, {0.35, 0.0, 0.35}, SceneState::AllClose, {}},
    {"front_low_bucket", {1.35, -0.1, 0.75}, {0.35, 0.0, 0.35}, SceneState::CoverOpen,
      {true, false, false}},
    {"side_towel", {1.15, 0.55, 1.2}, {0.35, -0.2, 0.45}, SceneState::AllOpen, {false, true, false}},
    {"over_the_bowl_arm", {0.95, 0.1, 1.45}, {0.4, 0.0, 0.3}, SceneState::AllOpen,
      {false, false, true}},
    {"past_the_map", {1.55, 0.95, 1.35}, {0.3, 0.4, 0.5}, SceneState::CoverOpen, {}},
    {"far_from_the_door", {2.5, 1.2, 1.6}, {0.4, 0.0, 0.4}, SceneState::AllClose,
      {false, false, true}},
    {"cluttered", {1.45, 0.4, 1.1}, {0.4, -0.15, 0.4}, SceneState::CoverOpen, {true, true, true}},
  };
  return views;
}

}  // namespace bathroom_sim
