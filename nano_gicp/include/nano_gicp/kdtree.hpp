#ifndef NANO_GICP__KDTREE_HPP_
#define NANO_GICP__KDTREE_HPP_

#include <pcl/point_cloud.h>

#include <nanoflann.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace nano_gicp
{

// nanoflann's view of a PCL cloud: the tree reads coordinates in place.
template<typename PointT>
class CloudAdaptor
{
public:
  explicit CloudAdaptor(typename pcl::PointCloud<PointT>::ConstPtr cloud)
  : cloud_(std::move(cloud)) {}

  const pcl::PointCloud<PointT> & cloud() const {return *cloud_;}

  std::size_t kdtree_get_point_count() const {return cloud_->size();}
  float kdtree_get_pt(std::size_t index, std::size_t dim) const {return (*cloud_)[index].data[dim];}
  template<typename BoundingBox>
  bool kdtree_get_bbox(BoundingBox &) const {return false;}

private:
  typename pcl::PointCloud<PointT>::ConstPtr cloud_;
};

// A k-d tree over a cloud it does not copy.
template<typename PointT>
class KdTree
{
public:
  explicit KdTree(typename pcl::PointCloud<PointT>::ConstPtr cloud)
  : adaptor_(std::move(cloud)),
    index_(3, adaptor_, nanoflann::KDTreeSingleIndexAdaptorParams(leaf_size)) {}

  KdTree(const KdTree &) = delete;
  KdTree & operator=(const KdTree &) = delete;

  const pcl::PointCloud<PointT> & cloud() const {return adaptor_.cloud();}

  std::size_t knn(
    const float * query, std::size_t k, std::uint32_t * indices, float * sq_distances) const
  {
    return index_.knnSearch(query, k, indices, sq_distances);
  }

private:
  static constexpr std::size_t leaf_size = 10;
  using Index = nanoflann::KDTreeSingleIndexAdaptor<
    nanoflann::L2_Simple_Adaptor<float, CloudAdaptor<PointT>>, CloudAdaptor<PointT>, 3,
    std::uint32_t>;

  CloudAdaptor<PointT> adaptor_;
  Index index_;
};

}  // namespace nano_gicp

#endif  // NANO_GICP__KDTREE_HPP_
