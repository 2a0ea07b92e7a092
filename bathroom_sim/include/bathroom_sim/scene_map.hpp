#ifndef BATHROOM_SIM__SCENE_MAP_HPP_
#define BATHROOM_SIM__SCENE_MAP_HPP_

#include <string>

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include "bathroom_sim/bathroom_scene.hpp"
#include "bathroom_sim/fidelity.hpp"

namespace bathroom_sim
{

// The map of one state as a mapping run makes it: ideal depth views from a
// ring of viewpoints in front of the toilet, merged and thinned to one point
// per voxel of leaf metres (a cube), in the scene frame.
pcl::PointCloud<pcl::PointXYZI>::Ptr buildMap(const Scene & scene, float leaf = 0.004f);

// The cloud thinned to one point, the centroid, per voxel of leaf metres.
pcl::PointCloud<pcl::PointXYZI>::Ptr voxelThinned(
  const pcl::PointCloud<pcl::PointXYZI>::ConstPtr & cloud, float leaf);

// "toilet_mapping_2floor_test_<state>.pcd", the name the node looks for.
std::string mapFileName(SceneState state);

// Writes the maps of all three states into directory (binary PCD), as the
// simulation of that fidelity makes them: buildMap's of the corner, or
// fusedMap's; false with the reason when a file cannot be written.
bool writeMaps(
  const std::string & directory, std::string & problem, Fidelity fidelity = Fidelity::Clean);

}  // namespace bathroom_sim

#endif  // BATHROOM_SIM__SCENE_MAP_HPP_
