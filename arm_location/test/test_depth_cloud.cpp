#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>

#include "arm_location/depth_cloud.hpp"
#include "arm_location/depth_frame_check.hpp"

namespace
{

using Cloud = pcl::PointCloud<pcl::PointXYZI>;

cv::Mat intrinsics(double fx, double fy, double cx, double cy)
{
  return (cv::Mat_<double>(3, 3) << fx, 0, cx, 0, fy, cy, 0, 0, 1);
}

pcl::PointXYZI point(float x, float y, float z, float intensity = 0)
{
  pcl::PointXYZI p;
  p.x = x;
  p.y = y;
  p.z = z;
  p.intensity = intensity;
  return p;
}

sensor_msgs::msg::Image depthImage(
  const std::string & encoding, std::uint32_t width, std::uint32_t height, std::uint32_t step,
  std::size_t bytes)
{
  sensor_msgs::msg::Image image;
  image.encoding = encoding;
  image.width = width;
  image.height = height;
  image.step = step;
  image.data.resize(bytes);
  return image;
}

TEST(DepthFrameCheck, RefusesHeadersTheBufferDoesNotBackAndTakesTheRest)
{
  EXPECT_EQ(depthFrameProblem(depthImage("16UC1", 640, 480, 1280, 640 * 480 * 2)), "");
  EXPECT_EQ(depthFrameProblem(depthImage("mono16", 3, 2, 8, 16)), "");  // padded rows
  EXPECT_EQ(depthFrameProblem(depthImage("32FC1", 2, 2, 8, 16)), "");
  sensor_msgs::msg::Image big = depthImage("16UC1", 2, 2, 4, 8);
  big.is_bigendian = 1;  // cv_bridge swaps the bytes
  EXPECT_EQ(depthFrameProblem(big), "");

  EXPECT_EQ(depthFrameProblem(depthImage("bgr8", 2, 2, 6, 12)), "unsupported depth encoding 'bgr8'");
  EXPECT_EQ(depthFrameProblem(depthImage("16UC1", 640, 480, 640, 640 * 480 * 2)),
    "step 640 is too small for width 640");
  EXPECT_EQ(depthFrameProblem(depthImage("16UC1", 640, 480, 1280, 640 * 480 * 2 - 1)),
    "data of 614399 bytes is shorter than step x height");
  // Products that wrap around in 32 bits: 2^31 x 2 bytes, 2^17 x 2^16 rows.
  EXPECT_EQ(depthFrameProblem(depthImage("16UC1", 1u << 31, 1, 0, 16)),
    "step 0 is too small for width 2147483648");
  EXPECT_EQ(depthFrameProblem(depthImage("16UC1", 1u << 16, 1u << 16, 1u << 17, 16)),
    "data of 16 bytes is shorter than step x height");
}

TEST(DepthFrameCheck, RefusesIntrinsicsThatCannotBackProject)
{
  EXPECT_EQ(intrinsicsProblem({525, 0, 319.5, 0, 525, 239.5, 0, 0, 1}), "");
  EXPECT_NE(intrinsicsProblem({}).find("fx 0.000000 and fy 0.000000"), std::string::npos);
  EXPECT_NE(intrinsicsProblem({525, 0, 319.5, 0, -525, 239.5, 0, 0, 1}), "");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_NE(intrinsicsProblem({nan, 0, 319.5, 0, 525, 239.5, 0, 0, 1}), "");
  EXPECT_NE(intrinsicsProblem({525, 0, inf, 0, 525, 239.5, 0, 0, 1}), "");
  EXPECT_NE(intrinsicsProblem({525, 0, 319.5, 0, 525, nan, 0, 0, 1}), "");
}

TEST(BackProjection, PlacesEachMillimetrePixelOnItsRay)
{
  cv::Mat depth = (cv::Mat_<std::uint16_t>(2, 3) << 1000, 1, 65535, 0, 2500, 777);
  const Cloud::Ptr cloud = backProject(depth, intrinsics(2.0, 4.0, 1.0, 1.0));
  ASSERT_EQ(cloud->width, 3u);
  ASSERT_EQ(cloud->height, 2u);
  ASSERT_EQ(cloud->size(), 6u);
  for (int v = 0; v < 2; ++v) {
    for (int u = 0; u < 3; ++u) {
      const pcl::PointXYZI & p = cloud->at(u, v);
      const double z = depth.at<std::uint16_t>(v, u) / 1000.0;
      if (z == 0) {
        continue;
      }
      EXPECT_FLOAT_EQ(p.z, static_cast<float>(z));
      EXPECT_FLOAT_EQ(p.x, static_cast<float>((u - 1.0) / 2.0 * z));
      EXPECT_FLOAT_EQ(p.y, static_cast<float>((v - 1.0) / 4.0 * z));
      EXPECT_EQ(p.intensity, 0);
    }
  }
  EXPECT_FLOAT_EQ(cloud->at(1, 0).z, 0.001f);
  EXPECT_FLOAT_EQ(cloud->at(2, 0).z, 65.535f);
  // The principal point lies on the optical axis.
  EXPECT_EQ(cloud->at(1, 1).x, 0);
  EXPECT_EQ(cloud->at(1, 1).y, 0);
}

TEST(BackProjection, TurnsPixelsWithoutMeasurementIntoNanPoints)
{
  cv::Mat millimetres = (cv::Mat_<std::uint16_t>(1, 2) << 0, 800);
  Cloud::Ptr cloud = backProject(millimetres, intrinsics(500, 500, 0, 0));
  EXPECT_FALSE(cloud->is_dense);
  EXPECT_TRUE(std::isnan(cloud->at(0).x) && std::isnan(cloud->at(0).y) && std::isnan(cloud->at(0).z));
  EXPECT_FLOAT_EQ(cloud->at(1).z, 0.8f);

  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  cv::Mat metres = (cv::Mat_<float>(1, 5) << nan, inf, -1.0f, 0.0f, 1.25f);
  cloud = backProject(metres, intrinsics(500, 500, 0, 0));
  for (int u = 0; u < 4; ++u) {
    EXPECT_TRUE(std::isnan(cloud->at(u).z)) << u;
  }
  EXPECT_FLOAT_EQ(cloud->at(4).z, 1.25f);

  cloud = backProject(cv::Mat_<std::uint16_t>(0, 0), intrinsics(500, 500, 0, 0));
  EXPECT_TRUE(cloud->empty());
}

TEST(VoxelFilter, AveragesThePointsOfEachVoxelAndKeepsOthersApart)
{
  auto cloud = std::make_shared<Cloud>();
  cloud->push_back(point(0.001f, 0.001f, 0.001f, 2));
  cloud->push_back(point(0.003f, 0.004f, 0.002f, 4));
  cloud->push_back(point(0.0049f, 0.0f, 0.0f, 10));
  cloud->push_back(point(0.0051f, 0.0f, 0.0f, 20));  // next voxel along x
  cloud->push_back(point(-0.001f, 0.0f, 0.0f, 30));  // voxel below zero
  cloud->header.frame_id = "kept";
  cloud->sensor_origin_ = Eigen::Vector4f(1, 2, 3, 0);
  voxelFilter(cloud);
  ASSERT_EQ(cloud->size(), 3u);
  EXPECT_EQ(cloud->height, 1u);
  EXPECT_EQ(cloud->width, 3u);
  EXPECT_EQ(cloud->header.frame_id, "kept");
  EXPECT_EQ(cloud->sensor_origin_, Eigen::Vector4f(1, 2, 3, 0));
  int checked = 0;
  for (const auto & p : *cloud) {
    if (p.intensity == 30) {
      EXPECT_FLOAT_EQ(p.x, -0.001f);
      ++checked;
    } else if (p.intensity == 20) {
      EXPECT_FLOAT_EQ(p.x, 0.0051f);
      ++checked;
    } else {
      EXPECT_FLOAT_EQ(p.x, (0.001f + 0.003f + 0.0049f) / 3);
      EXPECT_FLOAT_EQ(p.y, (0.001f + 0.004f) / 3);
      EXPECT_FLOAT_EQ(p.z, (0.001f + 0.002f) / 3);
      EXPECT_FLOAT_EQ(p.intensity, 16.0f / 3);
      ++checked;
    }
  }
  EXPECT_EQ(checked, 3);
}

TEST(VoxelFilter, MergesPointsGivenInVoxelOrderAndLeavesAThinnedCloudAsItIs)
{
  // Already in voxel order, as a thinned map is, with two points sharing one.
  auto cloud = std::make_shared<Cloud>();
  for (int i = 0; i < 200; ++i) {
    cloud->push_back(point(0.0025f + 0.005f * i, 0.0025f, 0.0025f, static_cast<float>(i)));
  }
  cloud->insert(cloud->begin() + 11, point(0.0575f, 0.0026f, 0.0024f, 10));
  voxelFilter(cloud);
  ASSERT_EQ(cloud->size(), 200u);
  EXPECT_FLOAT_EQ((*cloud)[11].y, 0.00255f);
  EXPECT_FLOAT_EQ((*cloud)[11].intensity, 10.5f);

  // Points out of order thinned, then thinned again: nothing moves.
  std::reverse(cloud->begin(), cloud->end());
  cloud->push_back(point(0.5001f, 0.0f, 0.0f));
  voxelFilter(cloud);
  const Cloud once = *cloud;
  EXPECT_EQ(once.size(), 200u);
  voxelFilter(cloud);
  ASSERT_EQ(cloud->size(), once.size());
  for (std::size_t i = 0; i < once.size(); ++i) {
    EXPECT_EQ((*cloud)[i].getVector4fMap(), once[i].getVector4fMap());
    EXPECT_EQ((*cloud)[i].intensity, once[i].intensity);
  }

  // Each half in voxel order, the halves swapped: not a thinned cloud,
  // though no thread's half shows it.
  std::rotate(cloud->begin(), cloud->begin() + 100, cloud->end());
  voxelFilter(cloud);
  ASSERT_EQ(cloud->size(), once.size());
  for (std::size_t i = 0; i < once.size(); ++i) {
    EXPECT_EQ((*cloud)[i].getVector4fMap(), once[i].getVector4fMap());
  }
}

TEST(VoxelFilter, GivesTheMeanOfEveryVoxelOfALargeShuffledCloud)
{
  // Many points to a voxel, in no order, so runs of one voxel cross the
  // stretches that threads share out; the means computed here one by one.
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> coordinate(-0.05f, 0.05f);
  auto cloud = std::make_shared<Cloud>();
  std::map<std::tuple<int, int, int>, std::array<double, 5>> sums;
  for (int i = 0; i < 200000; ++i) {
    const pcl::PointXYZI p = point(coordinate(rng), coordinate(rng), coordinate(rng),
        static_cast<float>(i % 7));
    cloud->push_back(p);
    auto voxel = [](float v) {return static_cast<int>(std::floor(v * (1.0 / 0.005)));};
    auto & sum = sums[{voxel(p.z), voxel(p.y), voxel(p.x)}];
    sum = {sum[0] + p.x, sum[1] + p.y, sum[2] + p.z, sum[3] + p.intensity, sum[4] + 1};
  }
  voxelFilter(cloud);
  ASSERT_EQ(cloud->size(), sums.size());
  std::size_t i = 0;
  for (const auto & [voxel, sum] : sums) {  // both in (z, y, x) order
    const pcl::PointXYZI & c = (*cloud)[i++];
    EXPECT_FLOAT_EQ(c.x, static_cast<float>(sum[0] / sum[4]));
    EXPECT_FLOAT_EQ(c.y, static_cast<float>(sum[1] / sum[4]));
    EXPECT_FLOAT_EQ(c.z, static_cast<float>(sum[2] / sum[4]));
    EXPECT_FLOAT_EQ(c.intensity, static_cast<float>(sum[3] / sum[4]));
  }
}

TEST(VoxelFilter, ThinsCloudsOfAnyExtent)
{
  // 65 m on every axis: far beyond a 32-bit index of 5 mm voxels.
  auto cloud = std::make_shared<Cloud>();
  cloud->push_back(point(0, 0, 0));
  cloud->push_back(point(65.5f, 65.5f, 65.5f));
  cloud->push_back(point(10.0001f, 20.0001f, 30.0001f, 1));
  cloud->push_back(point(10.0031f, 20.0021f, 30.0011f, 3));
  for (int i = 0; i < 1000; ++i) {
    cloud->push_back(point(0.01f * i, 40.0f, 1.0f));
  }
  voxelFilter(cloud);
  EXPECT_EQ(cloud->size(), 1003u);
  int merged = 0;
  for (const auto & p : *cloud) {
    if (p.intensity == 2) {
      EXPECT_NEAR(p.x, 10.0016, 1e-5);
      ++merged;
    }
  }
  EXPECT_EQ(merged, 1);

  // 5 km on every axis: 2^60 cells, more than a double numbers exactly, so
  // neighbouring voxels must not share a rounded number.
  cloud->clear();
  cloud->push_back(point(0, 0, 0));
  cloud->push_back(point(5242.0f, 5242.0f, 5242.0f));
  cloud->push_back(point(2621.4424f, 2621.0f, 2621.0f, 1));
  cloud->push_back(point(2621.4476f, 2621.0f, 2621.0f, 3));
  voxelFilter(cloud);
  EXPECT_EQ(cloud->size(), 4u);

  // Coordinates no grid index of any width can number.
  cloud->clear();
  cloud->push_back(point(1e30f, 0, 0));
  cloud->push_back(point(-1e30f, 0, 0));
  cloud->push_back(point(1.0001f, 2.0001f, 3.0001f, 1));
  cloud->push_back(point(1.0021f, 2.0011f, 3.0031f, 5));
  voxelFilter(cloud);
  ASSERT_EQ(cloud->size(), 3u);
  const auto pair = std::find_if(cloud->begin(), cloud->end(), [](const pcl::PointXYZI & p) {
        return p.intensity == 3;
      });
  ASSERT_NE(pair, cloud->end());
  EXPECT_NEAR(pair->y, 2.0006, 1e-5);
}

TEST(VoxelFilter, DropsNonFinitePointsSoNoPixelWithoutDepthReachesTheOrigin)
{
  cv::Mat depth = (cv::Mat_<std::uint16_t>(2, 2) << 0, 1000, 0, 0);
  Cloud::Ptr cloud = backProject(depth, intrinsics(500, 500, 0.5, 0.5));
  voxelFilter(cloud);
  ASSERT_EQ(cloud->size(), 1u);
  EXPECT_FLOAT_EQ(cloud->front().z, 1.0f);
  EXPECT_TRUE(cloud->is_dense);

  // With fx of 0 no pixel has a finite place.
  cloud = backProject(depth, intrinsics(0, 500, 0.5, 0.5));
  voxelFilter(cloud);
  EXPECT_TRUE(cloud->empty());
}

}  // namespace
