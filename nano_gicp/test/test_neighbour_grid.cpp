// The grid's neighbourhoods against a k-d tree's on clouds of the shapes the
// grid finds hard: uneven density, crowds of equal points, outliers, extents
// far beyond a cell.

#include <gtest/gtest.h>

#include <nano_gicp/kdtree.hpp>
#include <nano_gicp/neighbour_grid.hpp>

#include <pcl/point_types.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <vector>

namespace
{

using Cloud = pcl::PointCloud<pcl::PointXYZ>;

void add(Cloud & cloud, float x, float y, float z)
{
  pcl::PointXYZ p;
  p.x = x;
  p.y = y;
  p.z = z;
  cloud.push_back(p);
}

std::vector<float> sorted_sq_distances(
  const Eigen::Vector3f & from, const Eigen::Vector3f * neighbours, std::size_t n)
{
  std::vector<float> d;
  for (std::size_t j = 0; j < n; j++) {
    d.push_back((neighbours[j] - from).squaredNorm());
  }
  std::sort(d.begin(), d.end());
  return d;
}

// Every point either gets the tree's k nearest distances from the grid or is
// handed back, and with exhaustive_rest those handed back get them from the
// grid's ranking against every point; returns how many were handed back.
std::size_t expect_tree_neighbourhoods(
  const Cloud::Ptr & cloud, int k, int threads, bool exhaustive_rest = false)
{
  const nano_gicp::KdTree<pcl::PointXYZ> tree(cloud);
  std::vector<std::vector<float>> found(cloud->size());
  std::vector<std::atomic<int>> visits(cloud->size());
  const nano_gicp::NeighbourGrid<pcl::PointXYZ> grid(*cloud, k, threads);
  const std::vector<std::uint32_t> & order = grid.order();
  EXPECT_EQ(order.size(), cloud->size());
  auto visit = [&](std::uint32_t t, const Eigen::Vector3f * neighbours, std::size_t n) {
      const std::uint32_t i = order[t];
      visits[i]++;
      found[i] = sorted_sq_distances((*cloud)[i].getVector3fMap(), neighbours, n);
    };
  const std::vector<std::uint32_t> rest = grid.for_each_knn(k, threads, visit);
  EXPECT_TRUE(std::is_sorted(rest.begin(), rest.end()));
  if (exhaustive_rest) {
    grid.rank_exhaustively(rest, k, threads, visit);
  } else {
    for (const std::uint32_t t : rest) {
      visits[order[t]]++;
    }
  }
  std::vector<std::uint32_t> indices(k);
  std::vector<float> sq(k);
  for (std::uint32_t i = 0; i < cloud->size(); i++) {
    EXPECT_EQ(visits[i].load(), 1) << "point " << i;
    if (found[i].empty()) {
      continue;
    }
    const std::size_t n = tree.knn((*cloud)[i].data, k, indices.data(), sq.data());
    std::vector<Eigen::Vector3f> nearest;
    for (std::size_t j = 0; j < n; j++) {
      nearest.push_back((*cloud)[indices[j]].getVector3fMap());
    }
    const std::vector<float> expected =
      sorted_sq_distances((*cloud)[i].getVector3fMap(), nearest.data(), n);
    EXPECT_EQ(found[i].size(), expected.size()) << "point " << i;
    for (std::size_t j = 0; j < std::min(expected.size(), found[i].size()); j++) {
      EXPECT_NEAR(found[i][j], expected[j], 1e-6f * (1.0f + expected[j])) << "point " << i;
    }
  }
  return rest.size();
}

TEST(NeighbourGrid, AnswersMostPointsOfSurfacesAsTheTreeDoes)
{
  // two walls and a floor on 5 mm steps with a millimetre of noise
  std::mt19937 rng(3);
  std::normal_distribution<float> noise(0.0f, 0.001f);
  Cloud::Ptr cloud(new Cloud);
  for (int i = 0; i < 60; i++) {
    for (int j = 0; j < 60; j++) {
      const float u = 0.005f * i, v = 0.005f * j;
      add(*cloud, u + noise(rng), v + noise(rng), noise(rng));
      add(*cloud, u + noise(rng), noise(rng), v + noise(rng));
      add(*cloud, noise(rng), u + noise(rng), v + noise(rng));
    }
  }
  for (const int k : {5, 10, 20}) {
    const std::size_t rest = expect_tree_neighbourhoods(cloud, k, 2);
    EXPECT_LT(rest, cloud->size() / 10) << "k " << k;
  }
}

TEST(NeighbourGrid, AgreesWithTheTreeOnUnevenClouds)
{
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  Cloud::Ptr volume(new Cloud);
  for (int i = 0; i < 3000; i++) {
    add(*volume, unit(rng), unit(rng), unit(rng));
  }
  expect_tree_neighbourhoods(volume, 10, 1);

  // a dense ball, a sparse shell, a crowd of one repeated point and outliers
  Cloud::Ptr uneven(new Cloud);
  for (int i = 0; i < 2000; i++) {
    add(*uneven, 1e-3f * unit(rng), 1e-3f * unit(rng), 1e-3f * unit(rng));
  }
  for (int i = 0; i < 300; i++) {
    add(*uneven, unit(rng) - 0.5f, unit(rng) - 0.5f, unit(rng) - 0.5f);
  }
  for (int i = 0; i < 200; i++) {
    add(*uneven, 0.25f, 0.25f, 0.25f);
  }
  add(*uneven, 40.0f, -3.0f, 7.0f);
  add(*uneven, -65.0f, 0.0f, 0.0f);
  expect_tree_neighbourhoods(uneven, 10, 2);
  expect_tree_neighbourhoods(uneven, 10, 2, true);

  // an extent no cell size spans with 21 bits
  Cloud::Ptr huge(new Cloud);
  for (int i = 0; i < 500; i++) {
    add(*huge, 0.01f * unit(rng), 0.01f * unit(rng), 0.01f * unit(rng));
  }
  add(*huge, 1e30f, 0.0f, 0.0f);
  expect_tree_neighbourhoods(huge, 8, 2);
  expect_tree_neighbourhoods(huge, 8, 2, true);
}

TEST(NeighbourGrid, RanksThePointsItHandsBackAgainstEveryPointAsTheTreeDoes)
{
  // outliers scattered through a room around a dense cluster
  std::mt19937 rng(9);
  std::uniform_real_distribution<float> cluster(0.0f, 0.01f), room(-5.0f, 5.0f);
  Cloud::Ptr cloud(new Cloud);
  for (int i = 0; i < 2000; i++) {
    add(*cloud, cluster(rng), cluster(rng), cluster(rng));
  }
  for (int i = 0; i < 20; i++) {
    add(*cloud, room(rng), room(rng), room(rng));
  }
  EXPECT_EQ(expect_tree_neighbourhoods(cloud, 10, 2, true), 20u);
}

TEST(NeighbourGrid, HandlesCloudsOfExactlyKPoints)
{
  Cloud::Ptr line(new Cloud);
  for (int i = 0; i < 6; i++) {
    add(*line, 0.1f * i, 0.0f, 0.0f);
  }
  expect_tree_neighbourhoods(line, 6, 1);
  Cloud::Ptr same(new Cloud);
  for (int i = 0; i < 4; i++) {
    add(*same, 1.0f, 2.0f, 3.0f);
  }
  expect_tree_neighbourhoods(same, 4, 2);
}

// Wherever the cells answer a nearest-point query, they give the tree's
// nearest and second-nearest distances; returns the share they answered.
double expect_tree_nearest(const Cloud::Ptr & cloud, int k, const Cloud & queries)
{
  const nano_gicp::NeighbourGrid<pcl::PointXYZ> grid(*cloud, k, 2);
  const std::vector<std::uint32_t> & order = grid.order();
  Cloud sorted;
  for (const std::uint32_t i : order) {
    sorted.push_back((*cloud)[i]);
  }
  const auto cells = grid.nearest(sorted);
  const nano_gicp::KdTree<pcl::PointXYZ> tree(cloud);
  std::size_t answered = 0;
  for (const auto & q : queries) {
    for (const std::size_t n : {1, 2}) {
      std::uint32_t places[2], indices[2];
      float sq[2], tree_sq[2];
      if (!cells.find(q.data, n, places, sq)) {
        continue;
      }
      answered += n == 1;
      if (tree.knn(q.data, n, indices, tree_sq) != n) {
        ADD_FAILURE() << "the cells found " << n << " points where the cloud has fewer";
        continue;
      }
      for (std::size_t j = 0; j < n; j++) {
        EXPECT_EQ(sq[j], tree_sq[j]) << q << " neighbour " << j;
        EXPECT_FLOAT_EQ(sq[j], (sorted[places[j]].getVector3fMap() -
          q.getVector3fMap()).squaredNorm()) << q;
      }
    }
  }
  return static_cast<double>(answered) / static_cast<double>(queries.size());
}

TEST(NeighbourGrid, FindsTheTreesNearestPointsNearTheSurfacesAndHandsBackTheRest)
{
  // a floor and a wall on 5 mm steps with a millimetre of noise
  std::mt19937 rng(11);
  std::normal_distribution<float> noise(0.0f, 0.001f);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  Cloud::Ptr cloud(new Cloud);
  for (int i = 0; i < 100; i++) {
    for (int j = 0; j < 100; j++) {
      const float u = 0.005f * i, v = 0.005f * j;
      add(*cloud, u + noise(rng), v + noise(rng), noise(rng));
      add(*cloud, u + noise(rng), noise(rng), v + noise(rng));
    }
  }
  // queries a few millimetres off the surfaces, as a pose near its answer
  // asks, answered mostly by the cells (those behind the floor or the wall
  // lie outside the grid, and the tree answers them)
  Cloud near;
  std::normal_distribution<float> off(0.0f, 0.003f);
  for (int i = 0; i < 4000; i++) {
    const float u = 0.5f * unit(rng), v = 0.5f * unit(rng);
    add(near, u, v, off(rng));
    add(near, u, off(rng), v);
  }
  EXPECT_GT(expect_tree_nearest(cloud, 10, near), 0.85);

  // anywhere in and around the box, from the corner to far outside: what the
  // cells answer is exact, and they hand back what lies beyond their block
  Cloud anywhere;
  for (int i = 0; i < 4000; i++) {
    add(anywhere, 0.8f * unit(rng) - 0.15f, 0.8f * unit(rng) - 0.15f, 0.8f * unit(rng) - 0.15f);
  }
  const double answered = expect_tree_nearest(cloud, 10, anywhere);
  EXPECT_GT(answered, 0.0);
  EXPECT_LT(answered, 0.5);

  Cloud beyond;
  add(beyond, std::nanf(""), 0.1f, 0.1f);
  add(beyond, -1.0f, 0.1f, 0.1f);
  add(beyond, 0.1f, 0.1f, 30.0f);
  EXPECT_EQ(expect_tree_nearest(cloud, 10, beyond), 0.0);
}

TEST(NeighbourGrid, FindsNearestPointsInSparseAndCrowdedClouds)
{
  std::mt19937 rng(13);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  Cloud::Ptr sparse(new Cloud);
  for (int i = 0; i < 300; i++) {
    add(*sparse, unit(rng), unit(rng), unit(rng));
  }
  // one repeated point: both nearest at the same distance
  Cloud::Ptr crowd(new Cloud);
  for (int i = 0; i < 50; i++) {
    add(*crowd, 0.25f, 0.5f, 0.75f);
  }
  add(*crowd, 0.3f, 0.5f, 0.75f);
  Cloud queries;
  for (int i = 0; i < 2000; i++) {
    add(queries, unit(rng), unit(rng), unit(rng));
  }
  add(queries, 0.25f, 0.5f, 0.75f);
  expect_tree_nearest(sparse, 5, queries);
  expect_tree_nearest(crowd, 10, queries);
  Cloud::Ptr single(new Cloud);
  add(*single, 0.5f, 0.5f, 0.5f);
  expect_tree_nearest(single, 1, queries);
}

TEST(NeighbourGrid, FindsNearestPointsOfQueriesOnTheFacesOfCells)
{
  // The box spans exactly a metre from the origin, so a query at a multiple
  // of 1/16 m lies on a face of every cell of 1/16 m or less. Each lies a
  // tenth of a step past a point of the cell below that face: the nearest
  // point is across the face, the next one inside the query's own cell.
  Cloud::Ptr plane(new Cloud);
  add(*plane, 0.0f, 0.0f, 0.0f);
  add(*plane, 1.0f, 1.0f, 1.0f);
  const float step = 1.0f / 128.0f;
  for (int i = 0; i < 127; i++) {
    for (int j = 0; j < 127; j++) {
      add(*plane, (i + 0.9f) * step, (j + 0.9f) * step, 0.5f);
    }
  }
  Cloud faces;
  for (int m = 1; m < 16; m++) {
    for (int j = 10; j < 120; j += 7) {
      add(faces, m / 16.0f, (j + 0.9f) * step, 0.5f);
    }
  }
  EXPECT_GT(expect_tree_nearest(plane, 10, faces), 0.5);
}

}  // namespace
