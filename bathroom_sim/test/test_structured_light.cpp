#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "bathroom_sim/bathroom_scene.hpp"
#include "bathroom_sim/depth_camera.hpp"
#include "bathroom_sim/structured_light.hpp"

using bathroom_sim::DepthView;
using bathroom_sim::PinholeCamera;
using bathroom_sim::Room;
using bathroom_sim::Scene;
using bathroom_sim::SceneState;
using bathroom_sim::Solid;

namespace
{

const PinholeCamera kCamera{640, 480, 525.0, 525.0, 319.5, 239.5};

Eigen::Isometry3d at(double x, double y, double z)
{
  return Eigen::Isometry3d(Eigen::Translation3d(x, y, z));
}

double metres(const cv::Mat & depth, int v, int u)
{
  return depth.at<std::uint16_t>(v, u) / 1000.0;
}

// Standard deviation of the measured depth about the ideal one over the
// central size x size pixels of a few frames, all of which see plain wall at
// distance straight ahead.
double wallNoise(const Eigen::Vector3d & eye, double distance, int size)
{
  const Scene scene(SceneState::AllClose, Room::Whole);
  const DepthView view = bathroom_sim::renderView(
    scene, kCamera, bathroom_sim::lookAt(eye, eye - Eigen::Vector3d(1, 0, 0)));
  const cv::Rect patch(kCamera.width / 2 - size / 2, kCamera.height / 2 - size / 2, size, size);
  double sum = 0, squares = 0;
  int count = 0;
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    std::mt19937 rng(seed);
    const cv::Mat depth = bathroom_sim::structuredLightDepth(view, kCamera, rng);
    for (int v = patch.y; v < patch.y + patch.height; ++v) {
      for (int u = patch.x; u < patch.x + patch.width; ++u) {
        EXPECT_NEAR(view.depth.at<float>(v, u), distance, 1e-4);
        if (depth.at<std::uint16_t>(v, u) > 0) {
          const double error = metres(depth, v, u) - view.depth.at<float>(v, u);
          sum += error;
          squares += error * error;
          ++count;
        }
      }
    }
  }
  EXPECT_GT(count, 4 * size * size * 9 / 10);
  return std::sqrt(squares / count - (sum / count) * (sum / count));
}

TEST(StructuredLight, NoiseGrowsWithTheSquareOfTheDepth)
{
  // Plain wall beside the toilet, below the ceiling and clear of the mirror.
  const double near = wallNoise({1.0, 0.55, 1.3}, 1.0, 200);
  const double far = wallNoise({2.95, 0.55, 1.3}, 2.95, 100);
  // Kinect-class sensors: a millimetre or two at 1 m, a centimetre or two at 3 m.
  EXPECT_GT(near, 0.001);
  EXPECT_LT(near, 0.003);
  EXPECT_NEAR(far / near, 2.95 * 2.95, 3.0);
}

TEST(StructuredLight, MeasuresOnlyBetweenItsNearestAndFarthestDepths)
{
  // From one upper corner of the room into the opposite lower one, 4.5 m
  // away, with a box 30 cm in front of the lens.
  const Eigen::Isometry3d pose = bathroom_sim::lookAt({2.98, 1.78, 2.38}, {0.02, -0.58, 0.02});
  Scene scene(SceneState::AllClose, Room::Whole);
  scene.add(Solid::box(pose * at(-0.12, 0.1, 0.3), Eigen::Vector3d(0.1, 0.1, 0.02), 0.8));
  const DepthView view = bathroom_sim::renderView(scene, kCamera, pose);
  std::mt19937 rng(1);
  const cv::Mat depth = bathroom_sim::structuredLightDepth(view, kCamera, rng);
  int tooNear = 0, tooFar = 0, inRange = 0, measured = 0;
  for (int v = 1; v < depth.rows - 1; ++v) {
    for (int u = 1; u < depth.cols - 1; ++u) {
      const std::uint16_t d = depth.at<std::uint16_t>(v, u);
      if (d != 0) {
        EXPECT_GE(d, 400);
        EXPECT_LE(d, 4000);
      }
      // Beside a pixel whose neighbours lie in range, a mixed depth may be.
      double low = 0, high = 0;
      cv::minMaxLoc(view.depth(cv::Rect(u - 1, v - 1, 3, 3)), &low, &high);
      if (high < 0.38) {
        ++tooNear;
        EXPECT_EQ(d, 0);
      } else if (low > 4.2) {
        ++tooFar;
        EXPECT_EQ(d, 0);
      } else if (low > 0.5 && high < 3.5) {
        ++inRange;
        measured += d != 0;
      }
    }
  }
  EXPECT_GT(tooNear, 1000);
  EXPECT_GT(tooFar, 1000);
  EXPECT_GT(measured, inRange / 2);
}

// A board 0.95 m in front of the camera, 0.55 m before the back wall.
struct Board
{
  Board()
  : scene(SceneState::AllClose, Room::Whole),
    pose(bathroom_sim::lookAt({1.5, 0.55, 1.3}, {0.0, 0.55, 1.3}))
  {
    scene.add(Solid::box(at(0.5, 0.55, 1.3), Eigen::Vector3d(0.1, 0.3, 0.3), 0.8));
    view = bathroom_sim::renderView(scene, kCamera, pose);
  }

  Scene scene;
  Eigen::Isometry3d pose;
  DepthView view;
};

TEST(StructuredLight, TheProjectorShadowsTheBackgroundLeftOfANearerSurface)
{
  const Board board;
  std::mt19937 rng(1);
  const cv::Mat depth = bathroom_sim::structuredLightDepth(board.view, kCamera, rng);
  // The projector sits 7.5 cm to the right: its shadow is as wide as the
  // disparity between board and wall.
  const int shadow = static_cast<int>(525.0 * 0.075 * (1 / 0.95 - 1 / 1.5));
  const int row = kCamera.height / 2;
  int left = 0, right = 0;
  while (board.view.depth.at<float>(row, left) > 1.0f) {
    ++left;
  }
  right = left;
  while (board.view.depth.at<float>(row, right) < 1.0f) {
    ++right;
  }
  ASSERT_GT(left, 2 * shadow);
  ASSERT_LT(right, kCamera.width - 2 * shadow);
  int shadowed = 0, lit = 0;
  for (int v = row - 60; v <= row + 60; ++v) {
    for (int k = 2; k < shadow - 1; ++k) {
      shadowed += depth.at<std::uint16_t>(v, left - k) == 0;
      lit += depth.at<std::uint16_t>(v, right + k) != 0;
    }
  }
  const int band = 121 * (shadow - 3);
  EXPECT_GT(shadowed, band * 95 / 100);
  EXPECT_GT(lit, band * 95 / 100);
}

TEST(StructuredLight, MixesDepthsAcrossEdgesOnly)
{
  const Board board;
  const cv::Mat & ideal = board.view.depth;
  int edgePixels = 0, between = 0, flatPixels = 0;
  for (std::uint32_t seed = 1; seed <= 3; ++seed) {
    std::mt19937 rng(seed);
    const cv::Mat depth = bathroom_sim::structuredLightDepth(board.view, kCamera, rng);
    for (int v = 2; v < depth.rows - 2; ++v) {
      for (int u = 2; u < depth.cols - 2; ++u) {
        double low = 0, high = 0;
        cv::minMaxLoc(ideal(cv::Rect(u - 2, v - 2, 5, 5)), &low, &high);
        if (depth.at<std::uint16_t>(v, u) == 0) {
          continue;
        }
        const double measured = metres(depth, v, u);
        if (high - low > 0.3) {
          ++edgePixels;
          between += measured > low + 0.05 && measured < high - 0.05;
        } else if (high - low < 0.01) {
          // Well within the noise at these depths: 3 mm at 1.5 m.
          ++flatPixels;
          EXPECT_NEAR(measured, ideal.at<float>(v, u), 0.02);
        }
      }
    }
  }
  EXPECT_GT(flatPixels, 3 * 200000);
  EXPECT_GT(between, edgePixels / 5);
}

TEST(StructuredLight, LosesDarkSurfacesAndGrazingAnglesButNotBrightOnesFacingIt)
{
  const Eigen::Isometry3d pose = bathroom_sim::lookAt({1.5, 0.55, 1.3}, {0.0, 0.55, 1.3});
  Scene scene(SceneState::AllClose, Room::Whole);
  // A black cloth on the wall, and a white board turned 84 degrees away.
  scene.add(Solid::box(at(0.01, 0.3, 1.3), Eigen::Vector3d(0.02, 0.3, 0.3), 0.05));
  scene.add(Solid::box(
      at(0.3, 0.85, 1.3) * Eigen::AngleAxisd(84 * M_PI / 180, Eigen::Vector3d::UnitZ()),
      Eigen::Vector3d(0.02, 0.4, 0.3), 0.8));
  const DepthView view = bathroom_sim::renderView(scene, kCamera, pose);
  std::mt19937 rng(1);
  const cv::Mat depth = bathroom_sim::structuredLightDepth(view, kCamera, rng);
  int dark = 0, darkLost = 0, grazing = 0, grazingLost = 0, facing = 0, facingLost = 0;
  for (int v = 0; v < depth.rows; ++v) {
    for (int u = 0; u < depth.cols; ++u) {
      const bool lost = depth.at<std::uint16_t>(v, u) == 0;
      const float albedo = view.albedo.at<float>(v, u);
      const float incidence = view.incidence.at<float>(v, u);
      if (albedo < 0.1f) {
        ++dark;
        darkLost += lost;
      } else if (albedo > 0.7f && incidence < 0.15f) {
        ++grazing;
        grazingLost += lost;
      } else if (albedo > 0.7f && incidence > 0.9f) {
        ++facing;
        facingLost += lost;
      }
    }
  }
  ASSERT_GT(dark, 5000);
  ASSERT_GT(grazing, 1000);
  EXPECT_GT(darkLost, dark * 8 / 10);
  EXPECT_GT(grazingLost, grazing * 7 / 10);
  EXPECT_LT(facingLost, facing / 20);
}

TEST(StructuredLight, AGeneratorStateGivesOneFrame)
{
  const Board board;
  std::mt19937 a(7), b(7), c(8);
  const cv::Mat first = bathroom_sim::structuredLightDepth(board.view, kCamera, a);
  EXPECT_EQ(cv::countNonZero(first != bathroom_sim::structuredLightDepth(board.view, kCamera, b)), 0);
  EXPECT_GT(cv::countNonZero(first != bathroom_sim::structuredLightDepth(board.view, kCamera, c)),
    first.total() / 4);
}

}  // namespace
