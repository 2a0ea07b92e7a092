#include "bathroom_sim/mapping_run.hpp"

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "bathroom_sim/depth_camera.hpp"
#include "bathroom_sim/scene_map.hpp"
#include "bathroom_sim/structured_light.hpp"

namespace bathroom_sim
{
namespace
{

constexpr double kDegree = M_PI / 180.0;
// Error of each frame's pose: per axis, in metres and radians.
constexpr double kPositionError = 0.002;
constexpr double kAngleError = 0.12 * kDegree;

// Where the run stood: at three heights, in ten directions over 120 degrees
// 1.1 m out from a point above the bowl, looking at it.
std::vector<Eigen::Isometry3d> runPoses()
{
  const Eigen::Vector3d centre(0.35, 0.0, 0.35);
  std::vector<Eigen::Isometry3d> poses;
  for (double height : {0.6, 1.0, 1.4}) {
    for (int i = 0; i < 10; ++i) {
      const double a = (-60.0 + 120.0 * i / 9) * kDegree;
      const Eigen::Vector3d eye(centre.x() + 1.1 * std::cos(a), centre.y() + 1.1 * std::sin(a), height);
      poses.push_back(lookAt(eye, centre));
    }
  }
  return poses;
}

// The pose the run believes it had: off by a turn about the camera and a
// shift along its axes.
Eigen::Isometry3d believed(const Eigen::Isometry3d & truth, std::mt19937 & rng)
{
  std::normal_distribution<double> gauss(0.0, 1.0);
  const Eigen::Vector3d turn(gauss(rng), gauss(rng), gauss(rng));
  const Eigen::Vector3d shift(gauss(rng), gauss(rng), gauss(rng));
  Eigen::Isometry3d error = Eigen::Isometry3d::Identity();
  error.linear() = Eigen::AngleAxisd(kAngleError * turn.norm(), turn.normalized()).toRotationMatrix();
  error.translation() = kPositionError * shift;
  return truth * error;
}

}  // namespace

Eigen::AlignedBox3d mappedRegion()
{
  return Eigen::AlignedBox3d(Eigen::Vector3d(-0.05, -0.65, -0.05), Eigen::Vector3d(1.4, 0.8, 1.3));
}

pcl::PointCloud<pcl::PointXYZI>::Ptr fusedMap(SceneState state, float leaf, std::uint32_t seed)
{
  const PinholeCamera camera{640, 480, 525.0, 525.0, 319.5, 239.5};
  const Scene scene(state, Room::Whole);
  const Eigen::AlignedBox3d region = mappedRegion();
  const std::vector<Eigen::Isometry3d> poses = runPoses();
  std::vector<pcl::PointCloud<pcl::PointXYZI>> frames(poses.size());
  // Each frame draws from its own generator, so threads may take them in any order.
  #pragma omp parallel for schedule(dynamic, 1)
  for (std::size_t i = 0; i < poses.size(); ++i) {
    std::seed_seq frameSeed{seed, static_cast<std::uint32_t>(i)};
    std::mt19937 rng(frameSeed);
    const cv::Mat depth = structuredLightDepth(renderView(scene, camera, poses[i]), camera, rng);
    const Eigen::Isometry3d pose = believed(poses[i], rng);
    for (int v = 0; v < depth.rows; ++v) {
      for (int u = 0; u < depth.cols; ++u) {
        const double z = depth.at<std::uint16_t>(v, u) / 1000.0;
        if (z == 0) {
          continue;
        }
        const Eigen::Vector3d p =
          pose * Eigen::Vector3d((u - camera.cx) / camera.fx * z, (v - camera.cy) / camera.fy * z, z);
        if (region.contains(p)) {
          pcl::PointXYZI point;
          point.x = static_cast<float>(p.x());
          point.y = static_cast<float>(p.y());
          point.z = static_cast<float>(p.z());
          point.intensity = 0;
          frames[i].push_back(point);
        }
      }
    }
  }
  auto merged = std::make_shared<pcl::PointCloud<pcl::PointXYZI>>();
  for (const auto & frame : frames) {
    *merged += frame;
  }
  return voxelThinned(merged, leaf);
}

}  // namespace bathroom_sim
