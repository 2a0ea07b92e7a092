#ifndef BATHROOM_SIM__MAPPING_RUN_HPP_
#define BATHROOM_SIM__MAPPING_RUN_HPP_

#include <cstdint>

#include <Eigen/Geometry>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include "bathroom_sim/bathroom_scene.hpp"

namespace bathroom_sim
{

// The part of the whole room a mapping run covers: the toilet, the floor up
// to 1.4 m in front of the back wall and the walls behind and beside the
// toilet up to 1.3 m; the vanity, the mirror, the wall cabinet, the door and
// the far floor lie beyond it.
Eigen::AlignedBox3d mappedRegion();

// The map of one state as a mapping run makes it: 30 structured-light frames
// of the whole room (without clutter) from a ring of viewpoints in front of
// the toilet, each placed by a pose a few millimetres and about 0.2 degrees
// off, merged, cut to the mapped region and thinned to one point per voxel
// of leaf metres, in the scene frame. Its surfaces come out a few
// millimetres thick, partly doubled where the poses disagree; thinned to
// 6 mm it holds about as many points as buildMap's ideal map at 4 mm. The
// same seed gives the same map.
pcl::PointCloud<pcl::PointXYZI>::Ptr fusedMap(
  SceneState state, float leaf = 0.006f, std::uint32_t seed = 1);

}  // namespace bathroom_sim

#endif  // BATHROOM_SIM__MAPPING_RUN_HPP_
