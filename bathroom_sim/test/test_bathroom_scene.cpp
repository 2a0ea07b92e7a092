#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <random>

#include <pcl/io/pcd_io.h>

#include "bathroom_sim/bathroom_scene.hpp"
#include "bathroom_sim/depth_camera.hpp"
#include "bathroom_sim/location_report.hpp"
#include "bathroom_sim/scene_map.hpp"
#include "bathroom_sim/sensor_report.hpp"

namespace fs = std::filesystem;
using bathroom_sim::DepthView;
using bathroom_sim::PinholeCamera;
using bathroom_sim::Scene;
using bathroom_sim::SceneState;

namespace
{

const PinholeCamera kCamera{64, 48, 50.0, 50.0, 31.5, 23.5};

// z-depth of pixel (u, v) where its ray meets the plane n.p = offset, computed
// from the intrinsics and the pose alone.
double planeDepth(
  const Eigen::Isometry3d & pose, int u, int v, const Eigen::Vector3d & n, double offset)
{
  const Eigen::Vector3d cameraRay((u - kCamera.cx) / kCamera.fx, (v - kCamera.cy) / kCamera.fy, 1);
  const Eigen::Vector3d ray = pose.linear() * cameraRay;
  const double s = (offset - n.dot(pose.translation())) / n.dot(ray);
  return s * cameraRay.z();
}

// Height of the first surface straight below (x, y), seen from 2 m up.
double surfaceHeight(const Scene & scene, double x, double y)
{
  auto hit = scene.intersect(Eigen::Vector3d(x, y, 2.0), Eigen::Vector3d(0, 0, -1));
  return hit ? 2.0 - hit->distance : -1;
}

TEST(DepthCamera, RendersTheDepthOfTheFloorAndTheBackWall)
{
  const Scene scene(SceneState::AllClose);
  // Looking down at the floor beside the toilet, then at the wall above the tank.
  const Eigen::Isometry3d down = bathroom_sim::lookAt({1.0, 0.5, 0.45}, {0.98, 0.5, 0.0});
  const DepthView floor = bathroom_sim::renderView(scene, kCamera, down);
  const Eigen::Isometry3d wall = bathroom_sim::lookAt({0.4, 0.5, 1.0}, {0.0, 0.5, 1.0});
  const DepthView back = bathroom_sim::renderView(scene, kCamera, wall);
  for (auto [u, v] : {std::pair{0, 0}, {31, 23}, {63, 47}, {10, 40}}) {
    EXPECT_NEAR(floor.depth.at<float>(v, u), planeDepth(down, u, v, {0, 0, 1}, 0.0), 1e-5);
    EXPECT_NEAR(back.depth.at<float>(v, u), planeDepth(wall, u, v, {1, 0, 0}, 0.0), 1e-5);
  }
  // Seen head-on, the wall faces the camera at the centre.
  EXPECT_NEAR(back.incidence.at<float>(23, 31), 1.0, 1e-3);
}

TEST(DepthCamera, SensorDepthIsQuantisedNoisyAndEmptyWithoutSurface)
{
  const Scene scene(SceneState::AllClose);
  const Eigen::Isometry3d wall = bathroom_sim::lookAt({0.4, 0.5, 1.0}, {0.0, 0.5, 1.0});
  const DepthView view = bathroom_sim::renderView(scene, kCamera, wall);
  std::mt19937 rng(1);
  const cv::Mat depth = bathroom_sim::sensorDepth(view, rng);
  ASSERT_EQ(depth.type(), CV_16UC1);
  double sum = 0;
  int count = 0;
  int noisy = 0;
  for (int v = 5; v < 40; ++v) {
    for (int u = 5; u < 60; ++u) {
      const double measured = depth.at<std::uint16_t>(v, u) / 1000.0;
      const double ideal = view.depth.at<float>(v, u);
      ASSERT_GT(measured, 0);
      EXPECT_NEAR(measured, ideal, 0.01);
      sum += measured - ideal;
      ++count;
      noisy += std::abs(measured - ideal) > 0.0006;
    }
  }
  EXPECT_NEAR(sum / count, 0.0, 0.0005);  // unbiased
  EXPECT_GT(noisy, count / 4);  // 1.4 mm of noise at 0.4 m, beyond the quantisation

  // Looking away from the room, nothing returns.
  const Eigen::Isometry3d away = bathroom_sim::lookAt({1.0, 0.0, 1.0}, {3.0, 0.0, 1.5});
  EXPECT_EQ(cv::countNonZero(bathroom_sim::sensorDepth(
      bathroom_sim::renderView(scene, kCamera, away), rng)), 0);
}

TEST(DepthCamera, DropsReturnsAtGrazingAngles)
{
  const Scene scene(SceneState::AllClose);
  // Almost along the floor: rays meet it beyond 80 degrees of incidence.
  const Eigen::Isometry3d grazing = bathroom_sim::lookAt({1.39, 0.7, 0.05}, {1.0, -0.5, 0.0});
  const DepthView view = bathroom_sim::renderView(scene, kCamera, grazing);
  std::mt19937 rng(2);
  const cv::Mat depth = bathroom_sim::sensorDepth(view, rng);
  int grazingPixels = 0;
  for (int v = 0; v < depth.rows; ++v) {
    for (int u = 0; u < depth.cols; ++u) {
      if (view.depth.at<float>(v, u) > 0 && view.incidence.at<float>(v, u) < 0.17f) {
        ++grazingPixels;
        EXPECT_EQ(depth.at<std::uint16_t>(v, u), 0);
      }
    }
  }
  EXPECT_GT(grazingPixels, 0);
}

TEST(BathroomScene, SeatAndLidFollowTheState)
{
  const Scene closed(SceneState::AllClose);
  const Scene coverOpen(SceneState::CoverOpen);
  const Scene open(SceneState::AllOpen);
  // Over the bowl's centre: the lid, else the bottom of the bowl.
  EXPECT_NEAR(surfaceHeight(closed, 0.44, 0.0), 0.415, 1e-9);
  EXPECT_NEAR(surfaceHeight(coverOpen, 0.44, 0.0), 0.30, 1e-9);
  EXPECT_NEAR(surfaceHeight(open, 0.44, 0.0), 0.30, 1e-9);
  // Over the seat ring: the seat when it is down, else the bowl's rim.
  EXPECT_NEAR(surfaceHeight(coverOpen, 0.60, 0.0), 0.40, 1e-9);
  EXPECT_NEAR(surfaceHeight(open, 0.60, 0.0), 0.38, 1e-9);
  // A raised lid leans against the front of the tank.
  EXPECT_GT(surfaceHeight(coverOpen, 0.22, 0.0), 0.6);
  EXPECT_NEAR(surfaceHeight(closed, 0.22, 0.0), 0.38, 1e-9);

  EXPECT_TRUE(closed.contains({0.1, 0.0, 0.6}));   // inside the tank
  EXPECT_FALSE(closed.contains({1.0, 0.0, 1.0}));  // open air
  EXPECT_FALSE(closed.contains({0.44, 0.0, 0.35}));  // inside the bowl's hollow
}

TEST(BathroomScene, TheWholeRoomKeepsTheCornerAndClosesAroundIt)
{
  const Scene corner(SceneState::CoverOpen);
  const Scene whole(SceneState::CoverOpen, bathroom_sim::Room::Whole);
  for (auto [x, y] : {std::pair{0.44, 0.0}, {0.6, 0.0}, {0.22, 0.0}, {0.1, 0.1}, {1.0, 0.5}}) {
    EXPECT_EQ(surfaceHeight(whole, x, y), surfaceHeight(corner, x, y)) << x << " " << y;
  }
  // Beyond the corner's walls the corner is open, the whole room is not.
  const Eigen::Vector3d eye(1.25, 0.25, 1.05);
  std::mt19937 rng(3);
  std::normal_distribution<double> gauss;
  int escaped = 0;
  for (int i = 0; i < 1000; ++i) {
    const Eigen::Vector3d direction = Eigen::Vector3d(gauss(rng), gauss(rng), gauss(rng)).normalized();
    EXPECT_TRUE(whole.intersect(eye, direction));
    escaped += !corner.intersect(eye, direction);
  }
  EXPECT_GT(escaped, 300);
}

TEST(SceneMap, WritesOneLoadableMapPerStateWithTheSceneInIt)
{
  const fs::path dir = fs::temp_directory_path() / ("bathroom_maps_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::string problem;
  ASSERT_TRUE(bathroom_sim::writeMaps(dir.string(), problem)) << problem;
  for (SceneState state : bathroom_sim::allSceneStates()) {
    SCOPED_TRACE(bathroom_sim::sceneStateName(state));
    pcl::PointCloud<pcl::PointXYZI> map;
    ASSERT_EQ(pcl::io::loadPCDFile((dir / bathroom_sim::mapFileName(state)).string(), map), 0);
    EXPECT_GT(map.size(), 50000u);
    int floor = 0, wall = 0, raisedLid = 0;
    for (const auto & p : map) {
      floor += std::abs(p.z) < 0.002 && p.x > 0.8;
      wall += std::abs(p.x) < 0.002 && p.z > 0.9;
      raisedLid += p.x > 0.205 && p.x < 0.26 && p.z > 0.6 && std::abs(p.y) < 0.15;
    }
    EXPECT_GT(floor, 1000);
    EXPECT_GT(wall, 1000);
    EXPECT_EQ(raisedLid > 100, state != SceneState::AllClose) << raisedLid;
  }
  EXPECT_FALSE(bathroom_sim::writeMaps((dir / "missing" / "dir").string(), problem));
  EXPECT_NE(problem.find("cannot write"), std::string::npos);
  fs::remove_all(dir);
}

TEST(LocationReport, DrawsEachCloudInItsColourInBothViews)
{
  pcl::PointCloud<pcl::PointXYZI> map, placed, aligned;
  for (int i = 0; i < 100; ++i) {
    pcl::PointXYZI p;
    p.x = 0.01f * i;
    p.y = p.z = 0.0f;
    placed.push_back(p);
    p.y = p.z = 0.5f;
    map.push_back(p);
    p.y = p.z = 1.0f;
    aligned.push_back(p);
  }
  const cv::Mat report = bathroom_sim::locationReport(map, placed, aligned, {"status 0"});
  ASSERT_EQ(report.type(), CV_8UC3);
  ASSERT_GT(report.cols, report.rows / 2);
  auto has = [&](const cv::Rect & region, const cv::Scalar & colour) {
      cv::Mat mask;
      cv::inRange(report(region), colour, colour, mask);
      return cv::countNonZero(mask) > 50;
    };
  const int half = report.cols / 2;
  const int third = half / 3;
  for (int panel = 0; panel < 2; ++panel) {
    // Lowest y (top view) and lowest z (side view) at the bottom: the placed
    // cloud, then the map, and the aligned cloud on top.
    const int x = panel * half;
    EXPECT_TRUE(has({x, 2 * third, half, third + 10}, bathroom_sim::kPlacedColour)) << panel;
    EXPECT_TRUE(has({x, third, half, third}, bathroom_sim::kMapColour)) << panel;
    EXPECT_TRUE(has({x, 0, half, third}, bathroom_sim::kAlignedColour)) << panel;
    EXPECT_FALSE(has({x, 0, half, third}, bathroom_sim::kMapColour)) << panel;
  }
}

TEST(SensorReport, DrawsHolesBlackAndErrorsByTheirSign)
{
  // 1 m everywhere, measured 1 cm too far on the left half, 1 cm too near on
  // the right, with a hole in the middle.
  const cv::Mat ideal(48, 64, CV_32FC1, cv::Scalar(1.0));
  cv::Mat depth(48, 64, CV_16UC1, cv::Scalar(1010));
  depth.colRange(32, 64).setTo(990);
  depth(cv::Rect(28, 20, 8, 8)).setTo(0);
  const cv::Mat report = bathroom_sim::sensorReport({"a", depth, ideal}, {"b", depth, ideal});
  ASSERT_EQ(report.type(), CV_8UC3);
  // Each frame's two panels sit one below the other, the frames side by side.
  const int panelTop = report.rows / 2 - 48;
  const int errorTop = report.rows - 48;
  const int right = report.cols - 64;
  for (int x : {0, right}) {
    EXPECT_EQ(report.at<cv::Vec3b>(panelTop + 24, x + 31), cv::Vec3b(0, 0, 0));
    EXPECT_EQ(report.at<cv::Vec3b>(errorTop + 24, x + 31), cv::Vec3b(0, 0, 0));
    EXPECT_EQ(report.at<cv::Vec3b>(panelTop + 5, x + 5), report.at<cv::Vec3b>(panelTop + 40, x + 20));
    const cv::Vec3b far = report.at<cv::Vec3b>(errorTop + 5, x + 5);
    const cv::Vec3b near = report.at<cv::Vec3b>(errorTop + 5, x + 60);
    EXPECT_EQ(far[2], 255);
    EXPECT_LT(far[0], 255);
    EXPECT_EQ(near[0], 255);
    EXPECT_LT(near[2], 255);
  }
}

}  // namespace
