#include "arm_location/depth_cloud.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <tuple>
#include <utility>
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

namespace
{

struct Voxel
{
  double z, y, x;

  bool operator<(const Voxel & o) const {return std::tie(z, y, x) < std::tie(o.z, o.y, o.x);}
  bool operator==(const Voxel & o) const {return z == o.z && y == o.y && x == o.x;}
};

// std::floor is a library call on x86-64 without SSE4.1; a double from 2^52
// on is an integer already.
double floorOf(double x)
{
  if (!(std::abs(x) < 0x1p52)) {
    return x;
  }
  const double t = static_cast<double>(static_cast<std::int64_t>(x));
  return t > x ? t - 1 : t;
}

// Voxel coordinates are doubles: exact integers for any float coordinate, so
// no extent overflows them (PCL's VoxelGrid gives up and returns its input
// once its grid exceeds a 32-bit index).
Voxel voxelOf(const pcl::PointXYZI & p)
{
  constexpr double kInverseLeaf = 1.0 / 0.005;
  return {floorOf(p.z * kInverseLeaf), floorOf(p.y * kInverseLeaf), floorOf(p.x * kInverseLeaf)};
}

// Least significant digit first, 11 bits a pass, over the bits keys use.
void radixSort(std::vector<std::pair<std::uint64_t, std::uint32_t>> & keyed, int bits)
{
  constexpr int kDigit = 11;
  std::vector<std::pair<std::uint64_t, std::uint32_t>> buffer(keyed.size());
  std::vector<std::size_t> offsets(std::size_t{1} << kDigit);
  for (int shift = 0; shift < bits; shift += kDigit) {
    std::fill(offsets.begin(), offsets.end(), 0);
    for (const auto & k : keyed) {
      ++offsets[(k.first >> shift) & ((1u << kDigit) - 1)];
    }
    std::size_t sum = 0;
    for (std::size_t & o : offsets) {
      sum += std::exchange(o, sum);
    }
    for (const auto & k : keyed) {
      buffer[offsets[(k.first >> shift) & ((1u << kDigit) - 1)]++] = k;
    }
    keyed.swap(buffer);
  }
}

// Replaces the cloud's points by the centroids of the runs of equal keys in
// sorted (key, point index) pairs.
template<typename Key>
void replaceByCentroids(
  pcl::PointCloud<pcl::PointXYZI> & cloud, const std::vector<std::pair<Key, std::uint32_t>> & sorted)
{
  pcl::PointCloud<pcl::PointXYZI>::VectorType centroids;
  centroids.reserve(sorted.size());
  for (std::size_t begin = 0; begin < sorted.size(); ) {
    double x = 0, y = 0, z = 0, intensity = 0;
    std::size_t end = begin;
    for (; end < sorted.size() && sorted[end].first == sorted[begin].first; ++end) {
      const pcl::PointXYZI & p = cloud[sorted[end].second];
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
  cloud.points.swap(centroids);
  cloud.width = static_cast<std::uint32_t>(cloud.points.size());
  cloud.height = 1;
  cloud.is_dense = true;
}

}  // namespace

void voxelFilter(pcl::PointCloud<pcl::PointXYZI>::Ptr cloud)
{
  auto finite = [](const pcl::PointXYZI & p) {
      return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
    };
  Voxel low{INFINITY, INFINITY, INFINITY};
  Voxel high{-INFINITY, -INFINITY, -INFINITY};
  for (const pcl::PointXYZI & p : *cloud) {
    if (finite(p)) {
      const Voxel v = voxelOf(p);
      low = {std::min(low.z, v.z), std::min(low.y, v.y), std::min(low.x, v.x)};
      high = {std::max(high.z, v.z), std::max(high.y, v.y), std::max(high.x, v.x)};
    }
  }
  const double nx = high.x - low.x + 1;
  const double ny = high.y - low.y + 1;
  const double cells = nx * ny * (high.z - low.z + 1);

  // The grid's cells numbered in one 64-bit key whenever they fit (any cloud
  // a camera or a map gives); otherwise the voxel coordinates themselves.
  if (!(cells < 0x1p62)) {
    std::vector<std::pair<Voxel, std::uint32_t>> keyed;
    for (std::size_t i = 0; i < cloud->size(); ++i) {
      if (finite((*cloud)[i])) {
        keyed.emplace_back(voxelOf((*cloud)[i]), static_cast<std::uint32_t>(i));
      }
    }
    std::sort(keyed.begin(), keyed.end());
    replaceByCentroids(*cloud, keyed);
    return;
  }
  auto keyOf = [&](const pcl::PointXYZI & p) {
      const Voxel v = voxelOf(p);
      return static_cast<std::uint64_t>(((v.z - low.z) * ny + (v.y - low.y)) * nx + (v.x - low.x));
    };

  // A cloud this filter made (a map thinned by an earlier request) has one
  // finite point per voxel in increasing key order: it is its own result.
  bool thinned = true;
  std::uint64_t previous = 0;
  for (std::size_t i = 0; thinned && i < cloud->size(); ++i) {
    const std::uint64_t key = finite((*cloud)[i]) ? keyOf((*cloud)[i]) : 0;
    thinned = finite((*cloud)[i]) && (i == 0 || previous < key);
    previous = key;
  }
  if (thinned) {
    cloud->width = static_cast<std::uint32_t>(cloud->size());
    cloud->height = 1;
    cloud->is_dense = true;
    return;
  }

  std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed;
  keyed.reserve(cloud->size());
  for (std::size_t i = 0; i < cloud->size(); ++i) {
    if (finite((*cloud)[i])) {
      keyed.emplace_back(keyOf((*cloud)[i]), static_cast<std::uint32_t>(i));
    }
  }
  radixSort(keyed, static_cast<int>(std::ceil(std::log2(cells + 1))));
  replaceByCentroids(*cloud, keyed);
}
