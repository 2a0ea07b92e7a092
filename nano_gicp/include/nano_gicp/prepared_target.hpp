#ifndef NANO_GICP__PREPARED_TARGET_HPP_
#define NANO_GICP__PREPARED_TARGET_HPP_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "nano_gicp/covariances.hpp"
#include "nano_gicp/kdtree.hpp"
#include "nano_gicp/neighbour_grid.hpp"

namespace nano_gicp
{

// What alignment needs of a target: its points in Morton order, so that
// points near in space are mostly near in memory for the pairs of a pass,
// the search tree over them, and each point's covariance and surface point,
// in the same order. The cloud handed in is kept to recognise it by.
//
// A map fused from many scans holds each surface as a slab some millimetres
// thick, its samples scattered through it; a residual to the sample itself
// would jump by that much from one nearest neighbour to the next, leaving a
// cost too ragged for the pose to settle. The sample moved onto the plane of
// its neighbours lies on the surface the slab is about, and on a clean
// surface where the sample does: pairs are found between the points, and
// measured to the surface points.
template<typename PointT>
struct PreparedTarget
{
  PreparedTarget(
    typename pcl::PointCloud<PointT>::ConstPtr handed, int k, RegularizationMethod method,
    int num_threads)
  : PreparedTarget(NeighbourGrid<PointT>(*handed, k, num_threads), handed, k, method, num_threads)
  {}

  // The n (1 or 2) nearest target points to p, nearest first, as indices
  // into tree->cloud() with their squared distances; how many there are.
  // The grid's cells answer where they can, the tree the rest.
  std::size_t knn(const float * p, std::size_t n, std::uint32_t * indices, float * sq) const
  {
    return cells.find(p, n, indices, sq) ? n : tree->knn(p, n, indices, sq);
  }

  typename pcl::PointCloud<PointT>::ConstPtr cloud;
  // both over the points in curve order, which the tree keeps
  std::unique_ptr<KdTree<PointT>> tree;
  typename NeighbourGrid<PointT>::Nearest cells;
  Covariances covariances;
  SurfacePoints surface;

private:
  PreparedTarget(
    const NeighbourGrid<PointT> & grid, typename pcl::PointCloud<PointT>::ConstPtr handed, int k,
    RegularizationMethod method, int num_threads)
  : cloud(std::move(handed)), tree(std::make_unique<KdTree<PointT>>(curve_ordered(*cloud, grid))),
    cells(grid.nearest(tree->cloud()))
  {
    // the points the grid cannot answer ask the tree built anyway
    covariances =
      estimate_covariances<PointT>(cloud, grid, k, method, num_threads, tree.get(), &surface);
  }

  static typename pcl::PointCloud<PointT>::ConstPtr curve_ordered(
    const pcl::PointCloud<PointT> & cloud, const NeighbourGrid<PointT> & grid)
  {
    const std::vector<std::uint32_t> & order = grid.order();
    auto points = std::make_shared<pcl::PointCloud<PointT>>();
    points->resize(order.size());
    for (std::size_t t = 0; t < order.size(); t++) {
      (*points)[t] = cloud[order[t]];
    }
    return points;
  }
};

}  // namespace nano_gicp

#endif  // NANO_GICP__PREPARED_TARGET_HPP_
