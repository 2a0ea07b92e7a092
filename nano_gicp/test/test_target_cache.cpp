// Reuse of a prepared target for a target holding the same points.

#include <gtest/gtest.h>

#include <nano_gicp/target_cache.hpp>

#include <cstdint>

#include "scene.hpp"

namespace
{

using Cloud = pcl::PointCloud<pcl::PointXYZI>;
using nano_gicp::RegularizationMethod;

class TargetCache : public ::testing::Test
{
protected:
  std::shared_ptr<const nano_gicp::PreparedTarget<pcl::PointXYZI>> prepare(
    const Cloud::Ptr & cloud, int k = 10)
  {
    return cache.prepare(cloud, k, RegularizationMethod::PLANE, 2);
  }

  Cloud::Ptr moved(const Cloud & cloud, double dx)
  {
    Cloud::Ptr result(new Cloud);
    pcl::transformPointCloud(cloud, *result, make_transform(0.0, {0, 0, 1}, {dx, 0.0, 0.0}));
    return result;
  }

  nano_gicp::TargetCache<pcl::PointXYZI> cache;
  const Cloud::Ptr map = make_scene(0.02);
};

TEST_F(TargetCache, ReusesThePreparationOfTheSamePoints)
{
  const auto first = prepare(map);
  EXPECT_EQ(prepare(map), first);
  const Cloud::Ptr copy(new Cloud(*map));
  EXPECT_EQ(prepare(copy), first);
  // the reused preparation now holds the cloud it was last handed
  EXPECT_EQ(first->cloud, copy);
}

TEST_F(TargetCache, PreparesAgainWhenPointsChangeInPlace)
{
  // any one point, the last among them, each coordinate
  auto previous = prepare(map);
  for (const std::size_t i : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{3},
      map->size() - 1})
  {
    for (int axis = 0; axis < 3; axis++) {
      (*map)[i].data[axis] += 0.001f;
      const auto changed = prepare(map);
      EXPECT_NE(changed, previous) << "point " << i << ", axis " << axis;
      previous = changed;
    }
  }
  const auto first = prepare(map);
  (*map)[7].z += 0.001f;
  const auto second = prepare(map);
  EXPECT_NE(second, first);
  std::uint32_t index;
  float sq_distance;
  ASSERT_EQ(second->knn((*map)[7].data, 1, &index, &sq_distance), 1u);
  EXPECT_EQ(sq_distance, 0.0f);
  EXPECT_EQ(second->tree->cloud()[index].z, (*map)[7].z);
}

TEST_F(TargetCache, PreparesAgainForAnotherNeighbourCount)
{
  const auto first = prepare(map, 10);
  EXPECT_NE(prepare(map, 20), first);
}

TEST_F(TargetCache, KeepsTheLastThreeDistinctTargets)
{
  const Cloud::Ptr b = moved(*map, 1.0);
  const Cloud::Ptr c = moved(*map, 2.0);
  const Cloud::Ptr d = moved(*map, 3.0);
  const auto prepared_a = prepare(map);
  const auto prepared_b = prepare(b);
  const auto prepared_c = prepare(c);
  EXPECT_EQ(prepare(map), prepared_a);
  EXPECT_EQ(prepare(b), prepared_b);
  EXPECT_EQ(prepare(c), prepared_c);
  // d pushes out the least recently used, a
  prepare(d);
  EXPECT_EQ(prepare(c), prepared_c);
  EXPECT_EQ(prepare(b), prepared_b);
  EXPECT_NE(prepare(map), prepared_a);
}

}  // namespace
