#include "arm_location/depth_cloud.hpp"

#include <omp.h>

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
  constexpr double kInverseLeaf = 1.0 / kVoxelLeaf;
  return {floorOf(p.z * kInverseLeaf), floorOf(p.y * kInverseLeaf), floorOf(p.x * kInverseLeaf)};
}

// Sorts values by their bits [low, low + bits), least significant digit
// first. Each thread counts and moves its own stretch of the values, the
// stretches' share of each digit placed in their order, so the sort stays
// stable; digits of up to 13 bits keep the count tables in the first-level
// cache.
void radixSort(std::vector<std::uint64_t> & values, int low, int bits)
{
  const int passes = std::max(1, (bits + 12) / 13);
  const int digit = (bits + passes - 1) / passes;
  const std::size_t buckets = std::size_t{1} << digit;
  const std::uint64_t mask = buckets - 1;
  const auto n = static_cast<std::int64_t>(values.size());
  std::vector<std::uint64_t> buffer(values.size());
  std::vector<std::vector<std::uint32_t>> offsets;
#pragma omp parallel
  {
    const int threads = omp_get_num_threads();
    const int thread = omp_get_thread_num();
#pragma omp single
    offsets.assign(static_cast<std::size_t>(threads), std::vector<std::uint32_t>(buckets));
    std::vector<std::uint32_t> & own = offsets[static_cast<std::size_t>(thread)];
    const std::int64_t begin = n * thread / threads;
    const std::int64_t end = n * (thread + 1) / threads;
    for (int pass = 0; pass < passes; ++pass) {
      const int shift = low + pass * digit;
      std::fill(own.begin(), own.end(), 0);
      for (std::int64_t i = begin; i < end; ++i) {
        ++own[(values[static_cast<std::size_t>(i)] >> shift) & mask];
      }
#pragma omp barrier
#pragma omp single
      {
        std::uint32_t sum = 0;
        for (std::size_t b = 0; b < buckets; ++b) {
          for (std::vector<std::uint32_t> & counts : offsets) {
            sum += std::exchange(counts[b], sum);
          }
        }
      }
      for (std::int64_t i = begin; i < end; ++i) {
        const std::uint64_t v = values[static_cast<std::size_t>(i)];
        buffer[own[(v >> shift) & mask]++] = v;
      }
#pragma omp barrier
#pragma omp single
      values.swap(buffer);
    }
  }
}

constexpr std::size_t kPrefetchAhead = 16;

// Replaces the cloud's points by the centroids of the runs of one voxel in
// n entries sorted by voxel, indexOf(e) giving entry e's point. Each thread
// takes the runs that start in its stretch of the entries.
template<typename SameVoxel, typename IndexOf>
void replaceByCentroids(
  pcl::PointCloud<pcl::PointXYZI> & cloud, std::size_t n, SameVoxel sameVoxel, IndexOf indexOf)
{
  auto runStart = [&](std::size_t e) {return e == 0 || !sameVoxel(e - 1, e);};
  pcl::PointCloud<pcl::PointXYZI>::VectorType centroids;
  std::vector<std::size_t> firstCentroid;
#pragma omp parallel
  {
    const auto threads = static_cast<std::size_t>(omp_get_num_threads());
    const auto thread = static_cast<std::size_t>(omp_get_thread_num());
#pragma omp single
    firstCentroid.assign(threads + 1, 0);
    std::size_t begin = n * thread / threads;
    const std::size_t last = n * (thread + 1) / threads;
    std::size_t runs = 0;
    for (std::size_t e = begin; e < last; ++e) {
      runs += runStart(e);
    }
    firstCentroid[thread + 1] = runs;
#pragma omp barrier
#pragma omp single
    {
      for (std::size_t t = 0; t < threads; ++t) {
        firstCentroid[t + 1] += firstCentroid[t];
      }
      centroids.resize(firstCentroid[threads]);
    }
    while (begin < last && !runStart(begin)) {
      ++begin;
    }
    for (std::size_t c = firstCentroid[thread]; begin < last; ++c) {
      double x = 0, y = 0, z = 0, intensity = 0;
      std::size_t end = begin;
      for (; end < n && (end == begin || !runStart(end)); ++end) {
        // The points are read in voxel order, scattered over the cloud:
        // asked for ahead, their cache misses overlap.
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
      pcl::PointXYZI & centroid = centroids[c];
      centroid.x = static_cast<float>(x / count);
      centroid.y = static_cast<float>(y / count);
      centroid.z = static_cast<float>(z / count);
      centroid.intensity = static_cast<float>(intensity / count);
      begin = end;
    }
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
  // cloud shows itself at the first point out of order in each thread's
  // stretch.
  bool thinned = true;
#pragma omp parallel reduction(&& : thinned)
  {
    const std::int64_t threads = omp_get_num_threads();
    const std::int64_t thread = omp_get_thread_num();
    const std::int64_t end = n * (thread + 1) / threads;
    std::int64_t i = n * thread / threads;
    Voxel previous{-INFINITY, -INFINITY, -INFINITY};
    if (i > 0 && i < end) {
      const pcl::PointXYZI & p = (*cloud)[i - 1];
      previous = finite(p) ? voxelOf(p) : Voxel{INFINITY, INFINITY, INFINITY};
    }
    for (; thinned && i < end; ++i) {
      const pcl::PointXYZI & p = (*cloud)[i];
      const Voxel v = finite(p) ? voxelOf(p) : previous;
      thinned = previous < v;
      previous = v;
    }
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
