#ifndef NANO_GICP__COVARIANCES_HPP_
#define NANO_GICP__COVARIANCES_HPP_

#include <Eigen/Core>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "nano_gicp/kdtree.hpp"
#include "nano_gicp/neighbour_grid.hpp"
#include "nano_gicp/regularization.hpp"

namespace nano_gicp
{

using Covariances = std::vector<Eigen::Matrix3f>;
using SurfacePoints = std::vector<Eigen::Vector3f>;

// A cloud gives covariances only with at least k finite points.
template<typename PointT>
bool has_covariances(const pcl::PointCloud<PointT> & cloud, int k)
{
  if (k < 1 || cloud.size() < static_cast<std::size_t>(k)) {
    return false;
  }
  for (const auto & p : cloud) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
      return false;
    }
  }
  return true;
}

// The regularized covariance of each point's k nearest neighbours (the point
// itself among them), in the grid's curve order: covariances[t] belongs to
// point grid.order()[t]. The grid over the cloud answers most points; the
// rest are searched in the given tree over the same points, in any order,
// or, without one, among all points when they are few and in a tree built
// for them otherwise. With surface points given, each point moved along its
// neighbourhood's normal onto the plane through the neighbours' mean goes
// there, in the same order: noise across the surface leaves, the point's
// place along it stays (where the neighbourhood has no single normal, the
// point itself).
template<typename PointT>
Covariances estimate_covariances(
  const typename pcl::PointCloud<PointT>::ConstPtr & cloud, const NeighbourGrid<PointT> & grid,
  int k, RegularizationMethod method, int num_threads, const KdTree<PointT> * tree = nullptr,
  SurfacePoints * surface = nullptr)
{
  Covariances covariances(cloud->size());
  if (surface) {
    surface->resize(cloud->size());
  }
  // Two passes in float about a neighbour: the offsets are centimetres, so
  // nothing cancels, and the regularization works in double from there.
  auto estimate = [&](std::uint32_t t, const Eigen::Vector3f * neighbours, std::size_t found) {
      Eigen::Vector3f mean = Eigen::Vector3f::Zero();
      for (std::size_t j = 1; j < found; j++) {
        mean += neighbours[j] - neighbours[0];
      }
      mean = neighbours[0] + mean / static_cast<float>(found);
      float xx = 0, xy = 0, xz = 0, yy = 0, yz = 0, zz = 0;
      for (std::size_t j = 0; j < found; j++) {
        const Eigen::Vector3f d = neighbours[j] - mean;
        xx += d.x() * d.x();
        xy += d.x() * d.y();
        xz += d.x() * d.z();
        yy += d.y() * d.y();
        yz += d.y() * d.z();
        zz += d.z() * d.z();
      }
      const double n = static_cast<double>(found);
      Eigen::Matrix3d cov;
      cov(0, 0) = xx / n;
      cov(0, 1) = cov(1, 0) = xy / n;
      cov(0, 2) = cov(2, 0) = xz / n;
      cov(1, 1) = yy / n;
      cov(1, 2) = cov(2, 1) = yz / n;
      cov(2, 2) = zz / n;
      // the normal is found once for both the plane and the surface point
      Eigen::Vector3d normal;
      const bool has_normal =
        (method == RegularizationMethod::PLANE || surface) && least_eigenvector(cov, normal);
      covariances[t] = (method == RegularizationMethod::PLANE && has_normal ?
        plane_covariance(normal) : regularize(cov, method)).cast<float>();
      if (surface) {
        const Eigen::Vector3f point = (*cloud)[grid.order()[t]].getVector3fMap();
        (*surface)[t] = point;
        if (has_normal) {
          const Eigen::Vector3f n = normal.cast<float>();
          (*surface)[t] += n * n.dot(mean - point);
        }
      }
    };

  const std::vector<std::uint32_t> rest = grid.for_each_knn(k, num_threads, estimate);
  if (rest.empty()) {
    return covariances;
  }
  // a tree for a few outliers costs more than reading every point for each
  constexpr std::size_t max_exhaustive = 64;
  if (!tree && rest.size() <= max_exhaustive) {
    grid.rank_exhaustively(rest, k, num_threads, estimate);
    return covariances;
  }
  std::unique_ptr<KdTree<PointT>> own_tree;
  if (!tree) {
    own_tree = std::make_unique<KdTree<PointT>>(cloud);
    tree = own_tree.get();
  }
  const auto n = static_cast<std::int64_t>(rest.size());
#pragma omp parallel num_threads(num_threads)
  {
    std::vector<std::uint32_t> indices(k);
    std::vector<float> sq_distances(k);
    std::vector<Eigen::Vector3f> neighbours(k);
#pragma omp for schedule(dynamic, 64)
    for (std::int64_t r = 0; r < n; r++) {
      const std::uint32_t t = rest[r];
      const std::size_t found =
        tree->knn((*cloud)[grid.order()[t]].data, k, indices.data(), sq_distances.data());
      for (std::size_t j = 0; j < found; j++) {
        neighbours[j] = tree->cloud()[indices[j]].getVector3fMap();
      }
      estimate(t, neighbours.data(), found);
    }
  }
  return covariances;
}

}  // namespace nano_gicp

#endif  // NANO_GICP__COVARIANCES_HPP_
