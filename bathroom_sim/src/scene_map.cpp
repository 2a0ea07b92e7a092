#include "bathroom_sim/scene_map.hpp"

#include <cmath>
#include <memory>

#include <pcl/filters/voxel_grid.h>
#include <pcl/io/pcd_io.h>

#include "bathroom_sim/depth_camera.hpp"
#include "bathroom_sim/mapping_run.hpp"

namespace bathroom_sim
{

pcl::PointCloud<pcl::PointXYZI>::Ptr buildMap(const Scene & scene, float leaf)
{
  const PinholeCamera camera{640, 480, 525.0, 525.0, 319.5, 239.5};
  const Eigen::Vector3d centre(0.35, 0.0, 0.35);
  auto merged = std::make_shared<pcl::PointCloud<pcl::PointXYZI>>();
  for (double azimuth = -50; azimuth <= 50; azimuth += 25) {
    for (double height : {0.6, 1.0, 1.4}) {
      const double a = azimuth * M_PI / 180.0;
      const Eigen::Vector3d eye = centre + Eigen::Vector3d(1.1 * std::cos(a), 1.1 * std::sin(a), 0) +
        Eigen::Vector3d(0, 0, height - centre.z());
      const Eigen::Isometry3d pose = lookAt(eye, centre);
      const DepthView view = renderView(scene, camera, pose);
      for (int v = 0; v < camera.height; ++v) {
        for (int u = 0; u < camera.width; ++u) {
          const float z = view.depth.at<float>(v, u);
          if (z <= 0 || view.incidence.at<float>(v, u) < 0.2f) {
            continue;
          }
          const Eigen::Vector3d p =
            pose * Eigen::Vector3d((u - camera.cx) / camera.fx * z, (v - camera.cy) / camera.fy * z, z);
          pcl::PointXYZI point;
          point.x = static_cast<float>(p.x());
          point.y = static_cast<float>(p.y());
          point.z = static_cast<float>(p.z());
          point.intensity = 0;
          merged->push_back(point);
        }
      }
    }
  }
  return voxelThinned(merged, leaf);
}

pcl::PointCloud<pcl::PointXYZI>::Ptr voxelThinned(
  const pcl::PointCloud<pcl::PointXYZI>::ConstPtr & cloud, float leaf)
{
  auto thinned = std::make_shared<pcl::PointCloud<pcl::PointXYZI>>();
  pcl::VoxelGrid<pcl::PointXYZI> grid;
  grid.setInputCloud(cloud);
  grid.setLeafSize(leaf, leaf, leaf);
  grid.filter(*thinned);
  return thinned;
}

std::string mapFileName(SceneState state)
{
  return "toilet_mapping_2floor_test_" + sceneStateName(state) + ".pcd";
}

bool writeMaps(const std::string & directory, std::string & problem, Fidelity fidelity)
{
  for (SceneState state : allSceneStates()) {
    const std::string path = directory + "/" + mapFileName(state);
    const auto map = fidelity == Fidelity::Clean ? buildMap(Scene(state)) : fusedMap(state);
    try {
      if (pcl::io::savePCDFileBinary(path, *map) != 0) {
        problem = "cannot write " + path;
        return false;
      }
    } catch (const pcl::IOException & e) {
      problem = "cannot write " + path + ": " + e.what();
      return false;
    }
  }
  return true;
}

}  // namespace bathroom_sim
