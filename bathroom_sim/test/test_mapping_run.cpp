#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "bathroom_sim/bathroom_scene.hpp"
#include "bathroom_sim/mapping_run.hpp"
#include "bathroom_sim/scene_map.hpp"

using bathroom_sim::SceneState;
using Cloud = pcl::PointCloud<pcl::PointXYZI>;

namespace
{

// The fused and the ideal map of the closed toilet, built once: a fused map
// takes seconds.
class MappingRun : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    fused = bathroom_sim::fusedMap(SceneState::AllClose);
    ideal = bathroom_sim::buildMap(bathroom_sim::Scene(SceneState::AllClose));
  }

  static void TearDownTestSuite()
  {
    fused.reset();
    ideal.reset();
  }

  static Cloud::Ptr fused;
  static Cloud::Ptr ideal;
};

Cloud::Ptr MappingRun::fused;
Cloud::Ptr MappingRun::ideal;

// Distances in front of the back wall of the map's points on a patch of it
// that every viewpoint sees.
std::vector<double> backWallOffsets(const Cloud & map)
{
  std::vector<double> offsets;
  for (const auto & p : map) {
    if (p.x < 0.05 && p.y > 0.3 && p.y < 0.7 && p.z > 0.9 && p.z < 1.2) {
      offsets.push_back(p.x);
    }
  }
  return offsets;
}

double spread(const std::vector<double> & values)
{
  double sum = 0, squares = 0;
  for (double v : values) {
    sum += v;
    squares += v * v;
  }
  const double mean = sum / values.size();
  return std::sqrt(squares / values.size() - mean * mean);
}

TEST_F(MappingRun, SurfacesComeOutAFewMillimetresThick)
{
  const std::vector<double> flat = backWallOffsets(*ideal);
  std::vector<double> thick = backWallOffsets(*fused);
  ASSERT_GT(flat.size(), 1000u);
  ASSERT_GT(thick.size(), 1000u);
  EXPECT_LT(spread(flat), 0.0001);
  EXPECT_GT(spread(thick), 0.002);
  EXPECT_LT(spread(thick), 0.006);
  // Nearly all of it within 1.5 cm of the wall.
  std::sort(thick.begin(), thick.end(), [](double a, double b) {return std::abs(a) < std::abs(b);});
  EXPECT_LT(std::abs(thick[thick.size() * 95 / 100]), 0.015);
}

TEST_F(MappingRun, CoversTheToiletsCornerUpToTheMappedRegionsEdge)
{
  const Eigen::AlignedBox3d region = bathroom_sim::mappedRegion();
  int farFloor = 0, highWall = 0, vanitySide = 0;
  for (const auto & p : *fused) {
    const Eigen::Vector3d point(p.x, p.y, p.z);
    ASSERT_TRUE(region.contains(point)) << point.transpose();
    farFloor += p.x > 1.2 && p.z < 0.02;
    highWall += p.x < 0.02 && p.z > 1.0;
    vanitySide += p.y > region.max().y() - 0.05;
  }
  EXPECT_GT(farFloor, 1000);
  EXPECT_GT(highWall, 500);
  EXPECT_GT(vanitySide, 1000);
}

TEST_F(MappingRun, HoldsAboutAsManyPointsAsTheIdealMap)
{
  EXPECT_GT(fused->size(), ideal->size() * 7 / 10);
  EXPECT_LT(fused->size(), ideal->size() * 13 / 10);
}

TEST_F(MappingRun, OneSeedGivesOneMap)
{
  const Cloud::Ptr again = bathroom_sim::fusedMap(SceneState::AllClose);
  ASSERT_EQ(again->size(), fused->size());
  for (std::size_t i = 0; i < fused->size(); ++i) {
    ASSERT_EQ((*again)[i].getVector3fMap(), (*fused)[i].getVector3fMap()) << i;
  }
}

}  // namespace
