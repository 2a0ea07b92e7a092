#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <pcl/kdtree/kdtree_flann.h>

#include "bathroom_sim/benchmark_views.hpp"
#include "bathroom_sim/fidelity.hpp"
#include "bathroom_sim/mapping_run.hpp"

using bathroom_sim::BenchmarkView;
using bathroom_sim::Fidelity;
using bathroom_sim::PinholeCamera;

namespace
{

const PinholeCamera kCamera{640, 480, 525.0, 525.0, 319.5, 239.5};

// The scene points the ideal view's pixels meet where mask is set.
std::vector<Eigen::Vector3d> scenePoints(
  const cv::Mat & depth, const cv::Mat & mask, const Eigen::Isometry3d & pose)
{
  std::vector<Eigen::Vector3d> points;
  for (int v = 0; v < depth.rows; ++v) {
    for (int u = 0; u < depth.cols; ++u) {
      const double z = depth.at<float>(v, u);
      if (z > 0 && mask.at<std::uint8_t>(v, u)) {
        points.push_back(pose * Eigen::Vector3d(
            (u - kCamera.cx) / kCamera.fx * z, (v - kCamera.cy) / kCamera.fy * z, z));
      }
    }
  }
  return points;
}

// Whether the map comes within 2 cm of p.
bool nearMap(const pcl::KdTreeFLANN<pcl::PointXYZI> & map, const Eigen::Vector3d & p)
{
  pcl::PointXYZI point;
  point.getVector3fMap() = p.cast<float>();
  std::vector<int> indices;
  std::vector<float> distances;
  return map.radiusSearch(point, 0.02, indices, distances, 1) > 0;
}

struct RenderedView
{
  cv::Mat ideal;     // realistic scene with the view's clutter
  cv::Mat bare;      // the same without clutter
  cv::Mat frame;     // the structured-light frame of ideal
};

// The views rendered once, and the fused map of the closed toilet: clutter
// stands well away from the seat and the lid, so one state's map tells
// whether it holds the clutter.
class BenchmarkViews : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    for (const BenchmarkView & view : bathroom_sim::benchmarkViews()) {
      const Eigen::Isometry3d pose = bathroom_sim::viewPose(view);
      const bathroom_sim::DepthView seen = bathroom_sim::renderView(
        bathroom_sim::cameraScene(Fidelity::Realistic, view.state, view.clutter, pose), kCamera, pose);
      std::mt19937 rng(1);
      rendered.push_back({seen.depth, bathroom_sim::renderView(
          bathroom_sim::cameraScene(Fidelity::Realistic, view.state, {}, pose), kCamera, pose).depth,
        bathroom_sim::sensorFrame(Fidelity::Realistic, seen, kCamera, rng)});
    }
    map.setInputCloud(bathroom_sim::fusedMap(bathroom_sim::SceneState::AllClose));
  }

  static std::vector<RenderedView> rendered;
  static pcl::KdTreeFLANN<pcl::PointXYZI> map;
};

std::vector<RenderedView> BenchmarkViews::rendered;
pcl::KdTreeFLANN<pcl::PointXYZI> BenchmarkViews::map;

TEST_F(BenchmarkViews, EachLooksAtTheToiletFromOpenAir)
{
  const auto & views = bathroom_sim::benchmarkViews();
  ASSERT_GE(views.size(), 6u);
  std::set<std::string> names;
  std::set<bathroom_sim::SceneState> states;
  for (std::size_t i = 0; i < views.size(); ++i) {
    SCOPED_TRACE(views[i].name);
    names.insert(views[i].name);
    states.insert(views[i].state);
    const Eigen::Isometry3d pose = bathroom_sim::viewPose(views[i]);
    EXPECT_FALSE(bathroom_sim::cameraScene(Fidelity::Realistic, views[i].state, views[i].clutter, pose)
      .contains(views[i].eye));
    int toilet = 0;
    for (const Eigen::Vector3d & p : scenePoints(rendered[i].ideal, rendered[i].ideal > 0, pose)) {
      toilet += p.x() > 0.01 && p.x() < 0.65 && std::abs(p.y()) < 0.23 && p.z() > 0.02 && p.z() < 0.85;
    }
    EXPECT_GT(toilet, static_cast<int>(kCamera.width * kCamera.height / 40));
  }
  EXPECT_EQ(names.size(), views.size());
  EXPECT_EQ(states.size(), bathroom_sim::allSceneStates().size());
}

TEST_F(BenchmarkViews, RealisticFramesLoseAsManyPixelsAsRealFrames)
{
  std::vector<double> holes;
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    const cv::Mat & frame = rendered[i].frame;
    holes.push_back(1.0 - cv::countNonZero(frame) / static_cast<double>(frame.total()));
    EXPECT_GT(holes.back(), 0.05) << bathroom_sim::benchmarkViews()[i].name;
    EXPECT_LT(holes.back(), 0.2) << bathroom_sim::benchmarkViews()[i].name;
  }
  // Real frames lose 7-13%.
  std::nth_element(holes.begin(), holes.begin() + holes.size() / 2, holes.end());
  EXPECT_GT(holes[holes.size() / 2], 0.07);
  EXPECT_LT(holes[holes.size() / 2], 0.13);
}

TEST_F(BenchmarkViews, SomeReachPastTheMapsEdge)
{
  const Eigen::AlignedBox3d region = bathroom_sim::mappedRegion();
  int reaching = 0;
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    const Eigen::Isometry3d pose = bathroom_sim::viewPose(bathroom_sim::benchmarkViews()[i]);
    const std::vector<Eigen::Vector3d> points =
      scenePoints(rendered[i].ideal, rendered[i].ideal > 0, pose);
    int beyond = 0;
    for (const Eigen::Vector3d & p : points) {
      beyond += !region.contains(p) && !nearMap(map, p);
    }
    reaching += beyond > static_cast<int>(points.size() / 5);
  }
  EXPECT_GE(reaching, 2);
}

TEST_F(BenchmarkViews, ClutterInViewIsNowhereInTheMap)
{
  int cluttered = 0;
  for (std::size_t i = 0; i < rendered.size(); ++i) {
    const BenchmarkView & view = bathroom_sim::benchmarkViews()[i];
    SCOPED_TRACE(view.name);
    const std::vector<Eigen::Vector3d> clutter = scenePoints(
      rendered[i].ideal, rendered[i].ideal != rendered[i].bare, bathroom_sim::viewPose(view));
    if (!view.clutter.bucket && !view.clutter.towel && !view.clutter.arm) {
      EXPECT_TRUE(clutter.empty());
      continue;
    }
    ++cluttered;
    EXPECT_GT(clutter.size(), 2000u);
    int inMap = 0;
    for (const Eigen::Vector3d & p : clutter) {
      inMap += nearMap(map, p);
    }
    EXPECT_LT(inMap, static_cast<int>(clutter.size() / 10));
  }
  EXPECT_GE(cluttered, 1);
}

}  // namespace
