// Neighbourhood covariances and their regularization, against values worked
// out here from the points and matrices the tests choose.

#include <gtest/gtest.h>

#include <nano_gicp/covariances.hpp>
#include <nano_gicp/kdtree.hpp>
#include <nano_gicp/regularization.hpp>

#include <Eigen/Eigenvalues>
#include <Eigen/Geometry>
#include <pcl/point_types.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{

using nano_gicp::RegularizationMethod;
using Cloud = pcl::PointCloud<pcl::PointXYZ>;

Cloud::Ptr cloud_of(std::initializer_list<Eigen::Vector3f> points)
{
  Cloud::Ptr cloud(new Cloud);
  for (const Eigen::Vector3f & xyz : points) {
    pcl::PointXYZ p;
    p.getVector3fMap() = xyz;
    cloud->push_back(p);
  }
  return cloud;
}

// diag(values) in the frame of a fixed rotation
Eigen::Matrix3d rotated_diagonal(const Eigen::Vector3d & values)
{
  const Eigen::Matrix3d R = Eigen::AngleAxisd(0.7, Eigen::Vector3d(1, -2, 0.5).normalized())
    .toRotationMatrix();
  return R * values.asDiagonal() * R.transpose();
}

TEST(Covariances, AreTheCovarianceOfTheKNearestPoints)
{
  const Cloud::Ptr cloud = cloud_of({{0.0f, 0.0f, 0.0f}, {0.01f, 0.0f, 0.0f}, {0.0f, 0.02f, 0.0f},
    {0.0f, 0.0f, 0.01f}, {0.01f, 0.01f, 0.01f}, {5.0f, 5.0f, 5.0f}});
  const nano_gicp::NeighbourGrid<pcl::PointXYZ> grid(*cloud, 5, 2);
  const auto in_curve_order =
    nano_gicp::estimate_covariances<pcl::PointXYZ>(cloud, grid, 5, RegularizationMethod::NONE, 1);
  ASSERT_EQ(in_curve_order.size(), cloud->size());
  std::vector<Eigen::Matrix3f> covariances(cloud->size());
  for (std::size_t t = 0; t < grid.order().size(); t++) {
    covariances[grid.order()[t]] = in_curve_order[t];
  }
  // the far point is among nobody's five nearest but its own
  Eigen::Vector3d mean = Eigen::Vector3d::Zero();
  for (int i = 0; i < 5; i++) {
    mean += (*cloud)[i].getVector3fMap().cast<double>() / 5.0;
  }
  Eigen::Matrix3d expected = Eigen::Matrix3d::Zero();
  for (int i = 0; i < 5; i++) {
    const Eigen::Vector3d d = (*cloud)[i].getVector3fMap().cast<double>() - mean;
    expected += d * d.transpose() / 5.0;
  }
  for (int i = 0; i < 5; i++) {
    EXPECT_TRUE(covariances[i].cast<double>().isApprox(expected, 1e-5)) << i;
  }
}

TEST(Covariances, PointsTheGridHandsBackAskATreeOverThePointsInAnyOrder)
{
  // A line too sparse for the grid's cells with a far point: few left, which
  // are ranked against every point without a tree. A dense cluster with
  // outliers scattered far around it: many left, for which a tree is built.
  // Either way the covariances are those a given tree gives.
  Cloud::Ptr line(new Cloud);
  for (int i = 0; i < 12; i++) {
    line->push_back(pcl::PointXYZ(0.001f * i * i, 0.0f, 0.0f));
  }
  line->push_back(pcl::PointXYZ(40.0f, -3.0f, 7.0f));
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> cluster(0.0f, 0.01f), room(-5.0f, 5.0f);
  Cloud::Ptr scattered(new Cloud);
  for (int i = 0; i < 2000; i++) {
    scattered->push_back(pcl::PointXYZ(cluster(rng), cluster(rng), cluster(rng)));
  }
  for (int i = 0; i < 100; i++) {
    scattered->push_back(pcl::PointXYZ(room(rng), room(rng), room(rng)));
  }
  for (const Cloud::Ptr & cloud : {line, scattered}) {
    const nano_gicp::NeighbourGrid<pcl::PointXYZ> grid(*cloud, 4, 2);
    ASSERT_FALSE(grid.for_each_knn(4, 1, [](auto, auto, auto) {}).empty());
    const auto own = nano_gicp::estimate_covariances<pcl::PointXYZ>(
      cloud, grid, 4, RegularizationMethod::NONE, 1);
    Cloud::Ptr reversed(new Cloud(*cloud));
    std::reverse(reversed->begin(), reversed->end());
    const nano_gicp::KdTree<pcl::PointXYZ> tree(reversed);
    const auto given_tree = nano_gicp::estimate_covariances<pcl::PointXYZ>(
      cloud, grid, 4, RegularizationMethod::NONE, 1, &tree);
    ASSERT_EQ(given_tree.size(), own.size());
    for (std::size_t t = 0; t < own.size(); t++) {
      EXPECT_TRUE(given_tree[t].isApprox(own[t], 1e-6f)) << cloud->size() << " points, " << t;
    }
  }
}

TEST(Covariances, PlaneMakesADiscAlongTheSurface)
{
  // points of the plane through the origin with normal n
  const Eigen::Vector3d n = Eigen::Vector3d(0.2, -0.3, 1.0).normalized();
  const Eigen::Vector3d u = n.unitOrthogonal();
  const Eigen::Vector3d v = n.cross(u);
  Cloud::Ptr cloud(new Cloud);
  for (int i = -3; i <= 3; i++) {
    for (int j = -3; j <= 3; j++) {
      pcl::PointXYZ p;
      p.getVector3fMap() = (0.005 * i * u + 0.005 * j * v).cast<float>();
      cloud->push_back(p);
    }
  }
  const auto covariances = nano_gicp::estimate_covariances<pcl::PointXYZ>(
    cloud, nano_gicp::NeighbourGrid<pcl::PointXYZ>(*cloud, 10, 2), 10, RegularizationMethod::PLANE,
    2);
  for (const Eigen::Matrix3f & c : covariances) {
    const Eigen::Matrix3d C = c.cast<double>();
    EXPECT_TRUE((C * n).isApprox(1e-3 * n, 1e-4));
    EXPECT_TRUE((C * u).isApprox(u, 1e-4));
    EXPECT_TRUE((C * v).isApprox(v, 1e-4));
  }
}

TEST(Regularization, MinEigRaisesSmallEigenvalues)
{
  const Eigen::Matrix3d C = rotated_diagonal({4e-4, 2e-3, 0.0});
  EXPECT_TRUE(nano_gicp::regularize(C, RegularizationMethod::MIN_EIG)
    .isApprox(rotated_diagonal({1e-3, 2e-3, 1e-3}), 1e-9));
}

TEST(Regularization, NormalizedMinEigScalesByTheLargestEigenvalue)
{
  const Eigen::Matrix3d C = rotated_diagonal({4e-4, 2e-3, 1e-6});
  EXPECT_TRUE(nano_gicp::regularize(C, RegularizationMethod::NORMALIZED_MIN_EIG)
    .isApprox(rotated_diagonal({0.2, 1.0, 1e-3}), 1e-9));
}

TEST(Regularization, FrobeniusGivesAnInverseOfUnitNorm)
{
  const Eigen::Vector3d values(4e-4, 2e-3, 0.0);
  const Eigen::Vector3d inverse = (values.array() + 1e-3).inverse();
  const Eigen::Vector3d expected = (inverse / inverse.norm()).cwiseInverse();
  EXPECT_TRUE(nano_gicp::regularize(rotated_diagonal(values), RegularizationMethod::FROBENIUS)
    .isApprox(rotated_diagonal(expected), 1e-9));
}

TEST(Regularization, NoneKeepsTheCovariance)
{
  const Eigen::Matrix3d C = rotated_diagonal({4e-4, 2e-3, 1e-6});
  EXPECT_EQ(nano_gicp::regularize(C, RegularizationMethod::NONE), C);
}

TEST(Regularization, PlaneIgnoresTheScaleOfTheSpread)
{
  for (double scale : {1e-8, 1.0, 1e4}) {
    EXPECT_TRUE(nano_gicp::regularize(rotated_diagonal({scale, 2 * scale, 0.0}),
      RegularizationMethod::PLANE).isApprox(rotated_diagonal({1.0, 1.0, 1e-3}), 1e-9)) << scale;
  }
}

TEST(Regularization, PlaneIsADiscAcrossTheLeastEigenvectorForAnySpectrum)
{
  // Spectra of surfaces, edges, corners, and the degenerate ones where the
  // least eigenvector is a plane or a space of choices rather than a line.
  const std::vector<Eigen::Vector3d> spectra = {
    {1e-7, 2e-5, 3e-5}, {1e-5, 1e-5, 3e-5}, {2e-5, 2.1e-5, 2.2e-5}, {1e-9, 1e-8, 1e-4},
    {1e-6, 1e-6 * (1 + 1e-9), 1e-4}, {0.0, 0.0, 1e-4}, {1e-4, 1e-4, 1e-4}, {0.0, 0.0, 0.0},
    {3e-5, 2e-5, 0.0}};
  for (double angle : {0.0, 0.3, 2.0}) {
    const Eigen::Matrix3d R = Eigen::AngleAxisd(angle, Eigen::Vector3d(1, 2, -0.5).normalized())
      .toRotationMatrix();
    for (const Eigen::Vector3d & values : spectra) {
      const Eigen::Matrix3d C = R * values.asDiagonal() * R.transpose();
      const Eigen::Matrix3d P = nano_gicp::regularize(C, RegularizationMethod::PLANE);
      ASSERT_TRUE(P.allFinite());
      EXPECT_TRUE(P.isApprox(P.transpose(), 1e-12));
      Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver(P);
      EXPECT_TRUE(solver.eigenvalues().isApprox(Eigen::Vector3d(1e-3, 1.0, 1.0), 1e-9))
        << values.transpose() << " at " << angle;
      // where one direction is clearly the flattest, the disc lies across it
      Eigen::Index least;
      const double smallest = values.minCoeff(&least);
      Eigen::Vector3d others = values;
      others(least) = std::numeric_limits<double>::infinity();
      if (others.minCoeff() - smallest > 1e-3 * values.maxCoeff()) {
        const Eigen::Vector3d n = R.col(least);
        EXPECT_TRUE((P * n).isApprox(1e-3 * n, 1e-6)) << values.transpose() << " at " << angle;
      }
    }
  }
}

TEST(CovarianceInput, NeedsAtLeastKFinitePoints)
{
  const Cloud::Ptr cloud = cloud_of({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  EXPECT_TRUE(nano_gicp::has_covariances(*cloud, 3));
  EXPECT_FALSE(nano_gicp::has_covariances(*cloud, 4));
  EXPECT_FALSE(nano_gicp::has_covariances(*cloud, 0));
  EXPECT_FALSE(nano_gicp::has_covariances(Cloud(), 1));
  (*cloud)[1].z = std::numeric_limits<float>::infinity();
  EXPECT_FALSE(nano_gicp::has_covariances(*cloud, 3));
}

}  // namespace
