#include "arm_location/depth_cloud.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <tuple>
#include <vector>

namespace
{

template<typename Pixel, typename ToMetres>
void backProjectRows(
  const cv::Mat & depth, const cv::Mat & cameraMatrix, ToMetres toMetres,
  pcl::PointCloud<pcl::PointXYZI> & cloud)
{
  const double fx = cameraMatrix.at<double>(0, 0);
  const double fy = cameraMatrix.at<double>(1, 1);
  const double cx = cameraMatrix.at<double>(0, 2);
  const double cy = cameraMatrix.at<double>(1, 2);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (int v = 0; v < depth.rows; ++v) {
    const Pixel * row = depth.ptr<Pixel>(v);
    pcl::PointXYZI * out = &cloud.points[static_cast<std::size_t>(v) * depth.cols];
    for (int u = 0; u < depth.cols; ++u) {
      pcl::PointXYZI & p = out[u];
      const float z = toMetres(row[u]);
      if (!(z > 0.0f) || !std::isfinite(z)) {
        p.x = p.y = p.z = nan;
        cloud.is_dense = false;
        continue;
      }
      p.x = static_cast<float>((u - cx) / fx * z);
      p.y = static_cast<float>((v - cy) / fy * z);
      p.z = z;
    }
  }
}

}  // namespace

pcl::PointCloud<pcl::PointXYZI>::Ptr backProject(const cv::Mat & depth, const cv::Mat & cameraMatrix)
{
  auto cloud = std::make_shared<pcl::PointCloud<pcl::PointXYZI>>();
  cloud->width = static_cast<std::uint32_t>(depth.cols);
  cloud->height = static_cast<std::uint32_t>(depth.rows);
  cloud->points.resize(static_cast<std::size_t>(depth.rows) * depth.cols);
  cloud->is_dense = true;
  if (depth.type() == CV_16UC1) {
    backProjectRows<std::uint16_t>(
      depth, cameraMatrix, [](std::uint16_t d) {return static_cast<float>(d) / 1000.0f;}, *cloud);
  } else {
    backProjectRows<float>(depth, cameraMatrix, [](float d) {return d;}, *cloud);
  }
  return cloud;
}

void voxelFilter(pcl::PointCloud<pcl::PointXYZI>::Ptr cloud)
{
  // Voxel coordinates are kept as doubles: exact integers for any float
  // coordinate, so no extent overflows an index (PCL's VoxelGrid gives up and
  // returns its input once the grid exceeds a 32-bit index).
  constexpr double kInverseLeaf = 1.0 / 0.005;
  struct Keyed
  {
    double z, y, x;
    std::uint32_t index;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(cloud->size());
  for (std::size_t i = 0; i < cloud->size(); ++i) {
    const pcl::PointXYZI & p = (*cloud)[i];
    if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) {
      keyed.push_back({std::floor(p.z * kInverseLeaf), std::floor(p.y * kInverseLeaf),
          std::floor(p.x * kInverseLeaf), static_cast<std::uint32_t>(i)});
    }
  }
  auto voxel = [](const Keyed & k) {return std::tie(k.z, k.y, k.x);};
  std::sort(keyed.begin(), keyed.end(), [&](const Keyed & a, const Keyed & b) {
      return voxel(a) < voxel(b);
    });

  pcl::PointCloud<pcl::PointXYZI>::VectorType centroids;
  for (std::size_t begin = 0; begin < keyed.size(); ) {
    double x = 0, y = 0, z = 0, intensity = 0;
    std::size_t end = begin;
    for (; end < keyed.size() && voxel(keyed[end]) == voxel(keyed[begin]); ++end) {
      const pcl::PointXYZI & p = (*cloud)[keyed[end].index];
      x += p.x;
      y += p.y;
      z += p.z;
      intensity += p.intensity;
    }
    const double n = static_cast<double>(end - begin);
    pcl::PointXYZI c;
    c.x = static_cast<float>(x / n);
    c.y = static_cast<float>(y / n);
    c.z = static_cast<float>(z / n);
    c.intensity = static_cast<float>(intensity / n);
    centroids.push_back(c);
    begin = end;
  }
  cloud->points.swap(centroids);
  cloud->width = static_cast<std::uint32_t>(cloud->points.size());
  cloud->height = 1;
  cloud->is_dense = true;
}
