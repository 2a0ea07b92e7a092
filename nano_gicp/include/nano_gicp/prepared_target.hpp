#ifndef NANO_GICP__PREPARED_TARGET_HPP_
#define NANO_GICP__PREPARED_TARGET_HPP_

#include <memory>

#include "nano_gicp/covariances.hpp"
#include "nano_gicp/kdtree.hpp"

namespace nano_gicp
{

// What alignment needs of a target beyond its points: the search tree and
// each point's covariance.
template<typename PointT>
struct PreparedTarget
{
  PreparedTarget(
    typename pcl::PointCloud<PointT>::ConstPtr cloud, int k, RegularizationMethod method,
    int num_threads)
  : tree(std::make_unique<KdTree<PointT>>(cloud)),
    covariances(estimate_covariances<PointT>(cloud, k, method, num_threads, tree.get())) {}

  std::unique_ptr<KdTree<PointT>> tree;
  Covariances covariances;
};

}  // namespace nano_gicp

#endif  // NANO_GICP__PREPARED_TARGET_HPP_
