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
  // each column's ray slope once, not a division per pixel
  std::vector<double> slopes(static_cast<std::size_t>(depth.cols));
  for (int u = 0; u < depth.cols; ++u) {
    slopes[static_cast<std::size_t>(u)] = (u - cx) / fx;
  }
  for (int v = 0; v < depth.rows; ++v) {
    const Pixel * row = depth.ptr<Pixel>(v);
    pcl::PointXYZI * out = &cloud.points[static_cast<std::size_t>(v) * depth.cols];
    const double rowSlope = (v - cy) / fy;
    for (int u = 0; u < depth.cols; ++u) {
      pcl::PointXYZI & p = out[u];
      const float z = toMetres(row[u]);
      if (!(z > 0.0f) || !std::isfinite(z)) {
        p.x = p.y = p.z = nan;
        cloud.is_dense = false;
        continue;
      }
      p.x = static_cast<float>(slopes[static_cast<std::size_t>(u)] * z);
      p.y = static_cast<float>(rowSlope * z);
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

// Sorts values by their bits [low, low + bits), least significant digit
// first, the digits' counts taken in one pass; digits of up to 13 bits keep
// each count table in the first-level cache.
void radixSort(std::vector<std::uint64_t> & values, int low, int bits)
{
  const int passes = std::max(1, (bits + 12) / 13);
  const int digit = (bits + passes - 1) / passes;
  const std::uint64_t mask = (std::uint64_t{1} << digit) - 1;
  std::vector<std::vector<std::uint32_t>> offsets(
    static_cast<std::size_t>(passes), std::vector<std::uint32_t>(mask + 1));
  for (const std::uint64_t v : values) {
    for (int pass = 0; pass < passes; ++pass) {
      ++offsets[static_cast<std::size_t>(pass)][(v >> (low + pass * digit)) & mask];
    }
  }
  std::vector<std::uint64_t> buffer(values.size());
  for (int pass = 0; pass < passes; ++pass) {
    std::vector<std::uint32_t> & offset = offsets[static_cast<std::size_t>(pass)];
    std::uint32_t sum = 0;
    for (std::uint32_t & o : offset) {
      sum += std::exchange(o, sum);
    }
    const int shift = low + pass * digit;
    for (const std::uint64_t v : values) {
      buffer[offset[(v >> shift) & mask]++] = v;
    }
    values.swap(buffer);
  }
}

constexpr std::size_t kPrefetchAhead = 16;

// Replaces the cloud's points by the centroids of the runs of one voxel in
// n entries sorted by voxel, indexOf(e) giving entry e's point.
template<typename SameVoxel, typename IndexOf>
void replaceByCentroids(
  pcl::PointCloud<pcl::PointXYZI> & cloud, std::size_t n, SameVoxel sameVoxel, IndexOf indexOf)
{
  pcl::PointCloud<pcl::PointXYZI>::VectorType centroids;
  centroids.reserve(n);
  for (std::size_t begin = 0; begin < n; ) {
    double x = 0, y = 0, z = 0, intensity = 0;
    std::size_t end = begin;
    for (; end < n && sameVoxel(begin, end); ++end) {
      // The points are read in voxel order, scattered over the cloud: asked
      // for ahead, their cache misses overlap.
      if (end + kPrefetchAhead < n) {
        __builtin_prefetch(&cloud[indexOf(end + kPrefetchAhead)]);
      }
      const pcl::PointXYZI & p = cloud[indexOf(end)];
      x += p.x;
      y += p.y;
      z += p.z;
      intensity += p.intensity;
    }
    const double count = static_cast<double>(end - begin);
    pcl::PointXYZI c;
    c.x = static_cast<float>(x / count);
    c.y = static_cast<float>(y / count);
    c.z = static_cast<float>(z / count);
    c.intensity = static_cast<float>(intensity / count);
    centroids.push_back(c);
    begin = end;
  }
  cloud.points.swap(centroids);
  cloud.width = static_cast<std::uint32_t>(cloud.points.size());
  cloud.height = 1;
  cloud.is_dense = true;
}

int bitsFor(double values)
{
  return values > 1 ? static_cast<int>(std::ceil(std::log2(values))) : 0;
}

}  // namespace

void voxelFilter(pcl::PointCloud<pcl::PointXYZI>::Ptr cloud)
{
  auto finite = [](const pcl::PointXYZI & p) {
      return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
    };
  const auto n = static_cast<std::int64_t>(cloud->size());

  // A cloud this filter made (a map thinned by an earlier request) has one
  // finite point per voxel in voxel order: it is its own result. Any other
  // cloud shows itself at its first point out of order.
  bool thinned = true;
  Voxel previous{-INFINITY, -INFINITY, -INFINITY};
  for (std::int64_t i = 0; thinned && i < n; ++i) {
    const pcl::PointXYZI & p = (*cloud)[i];
    const Voxel v = finite(p) ? voxelOf(p) : previous;
    thinned = previous < v;
    previous = v;
  }
  if (thinned) {
    cloud->width = static_cast<std::uint32_t>(cloud->size());
    cloud->height = 1;
    cloud->is_dense = true;
    return;
  }

  double lowZ = INFINITY, lowY = INFINITY, lowX = INFINITY;
  double highZ = -INFINITY, highY = -INFINITY, highX = -INFINITY;
#pragma omp parallel for reduction(min: lowZ, lowY, lowX) reduction(max: highZ, highY, highX)
  for (std::int64_t i = 0; i < n; ++i) {
    const pcl::PointXYZI & p = (*cloud)[i];
    if (finite(p)) {
      const Voxel v = voxelOf(p);
      lowZ = std::min(lowZ, v.z);
      lowY = std::min(lowY, v.y);
      lowX = std::min(lowX, v.x);
      highZ = std::max(highZ, v.z);
      highY = std::max(highY, v.y);
      highX = std::max(highX, v.x);
    }
  }
  const double nx = highX - lowX + 1;
  const double ny = highY - lowY + 1;
  const double cells = nx * ny * (highZ - lowZ + 1);

  // Whenever the grid's cell number, exact in a double, and the point's index
  // fit in 64 bits together (any cloud a camera or a map gives), one integer
  // per point is sorted, the number past the last cell marking a point
  // without coordinates; otherwise (or without a finite point) the voxel
  // coordinates themselves.
  const int indexBits = bitsFor(static_cast<double>(n));
  const int keyBits = bitsFor(cells + 1);
  if (!(cells >= 1 && cells < 0x1p53) || indexBits + keyBits > 64) {
    std::vector<std::pair<Voxel, std::uint32_t>> keyed;
    for (std::int64_t i = 0; i < n; ++i) {
      if (finite((*cloud)[i])) {
        keyed.emplace_back(voxelOf((*cloud)[i]), static_cast<std::uint32_t>(i));
      }
    }
    std::sort(keyed.begin(), keyed.end());
    replaceByCentroids(*cloud, keyed.size(),
      [&](std::size_t a, std::size_t b) {return keyed[a].first == keyed[b].first;},
      [&](std::size_t e) {return keyed[e].second;});
    return;
  }
  std::vector<std::uint64_t> keyed(static_cast<std::size_t>(n));
  std::size_t valid = 0;
#pragma omp parallel for reduction(+: valid)
  for (std::int64_t i = 0; i < n; ++i) {
    const pcl::PointXYZI & p = (*cloud)[i];
    double key = cells;
    if (finite(p)) {
      const Voxel v = voxelOf(p);
      key = ((v.z - lowZ) * ny + (v.y - lowY)) * nx + (v.x - lowX);
      ++valid;
    }
    keyed[static_cast<std::size_t>(i)] =
      static_cast<std::uint64_t>(key) << indexBits | static_cast<std::uint64_t>(i);
  }
  radixSort(keyed, indexBits, keyBits);
  const std::uint64_t indexMask = (std::uint64_t{1} << indexBits) - 1;
  replaceByCentroids(*cloud, valid,
    [&](std::size_t a, std::size_t b) {return (keyed[a] ^ keyed[b]) >> indexBits == 0;},
    [&](std::size_t e) {return keyed[e] & indexMask;});
}
