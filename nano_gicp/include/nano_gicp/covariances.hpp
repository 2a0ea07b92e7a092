#ifndef NANO_GICP__COVARIANCES_HPP_
#define NANO_GICP__COVARIANCES_HPP_

#include <Eigen/Core>

#include <cmath>
#include <cstdint>
#include <vector>

#include "nano_gicp/kdtree.hpp"
#include "nano_gicp/reduction_omp.hpp"
#include "nano_gicp/regularization.hpp"

namespace nano_gicp
{

using Covariances = std::vector<Eigen::Matrix3f>;

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
// itself among them), searched in a tree over the same cloud.
template<typename PointT>
Covariances estimate_covariances(
  const KdTree<PointT> & tree, int k, RegularizationMethod method, int num_threads)
{
  const auto & cloud = tree.cloud();
  Covariances covariances(cloud.size());
  const auto n = static_cast<std::int64_t>(cloud.size());

#pragma omp parallel num_threads(num_threads)
  {
    std::vector<std::uint32_t> indices(k);
    std::vector<float> sq_distances(k);
#pragma omp for schedule(dynamic, block_size)
    for (std::int64_t i = 0; i < n; i++) {
      const std::size_t found = tree.knn(cloud[i].data, k, indices.data(), sq_distances.data());
      Eigen::Vector3d sum = Eigen::Vector3d::Zero();
      Eigen::Matrix3d sum_outer = Eigen::Matrix3d::Zero();
      for (std::size_t j = 0; j < found; j++) {
        const Eigen::Vector3d p = cloud[indices[j]].getVector3fMap().template cast<double>();
        sum += p;
        sum_outer += p * p.transpose();
      }
      const Eigen::Vector3d mean = sum / found;
      const Eigen::Matrix3d cov = sum_outer / found - mean * mean.transpose();
      covariances[i] = regularize(cov, method).cast<float>();
    }
  }
  return covariances;
}

}  // namespace nano_gicp

#endif  // NANO_GICP__COVARIANCES_HPP_
