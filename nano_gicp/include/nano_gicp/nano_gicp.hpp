#ifndef NANO_GICP__NANO_GICP_HPP_
#define NANO_GICP__NANO_GICP_HPP_

#include <Eigen/Core>
#include <pcl/point_cloud.h>
#include <pcl/registration/registration.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "nano_gicp/idle_cores.hpp"
#include "nano_gicp/regularization.hpp"

namespace nano_gicp
{

template<typename PointT>
struct PreparedTarget;
template<typename PointT>
class TargetCache;

// Generalized-ICP (Segal, Haehnel and Thrun, 2009): each point carries the
// covariance of its k nearest neighbours and a surface point, itself moved
// onto the plane of those neighbours; each source point is matched to its
// nearest target point within the maximum correspondence distance, the pair
// measured to the target's surface point; and the pose is found by
// Gauss-Newton
// steps on the Mahalanobis cost of the pairs, matched afresh at every step,
// with a robust kernel that leaves out what the target does not hold, until
// the steps settle (optimizer.hpp says how, and why not sooner). The first
// steps, from a guess that may be centimetres off, take a wider kernel, and
// a source of 8000 points or more takes them with every eighth point, evenly
// spread; the whole cloud settles from there.
//
// The target's preparation (search tree, covariances, surface points) is kept
// for the last three distinct targets, so handing the same map again costs
// one pass over its points. The engine keeps the clouds it is given.
template<typename PointSource, typename PointTarget>
class NanoGICP : public pcl::Registration<PointSource, PointTarget, float>
{
public:
  using Base = pcl::Registration<PointSource, PointTarget, float>;
  using PointCloudSource = typename Base::PointCloudSource;
  using PointCloudSourceConstPtr = typename Base::PointCloudSourceConstPtr;
  using PointCloudTargetConstPtr = typename Base::PointCloudTargetConstPtr;
  using Matrix4 = typename Base::Matrix4;

  NanoGICP();
  ~NanoGICP() override;

  // 0 (the default): one thread for each core the rest of the machine has
  // left idle lately (idle_cores.hpp), each call judging afresh.
  void setNumThreads(int n);
  // Neighbours per covariance (default 20).
  void setCorrespondenceRandomness(int k);
  void setRegularizationMethod(RegularizationMethod method);

  void setInputSource(const PointCloudSourceConstPtr & cloud) override;
  void setInputTarget(const PointCloudTargetConstPtr & cloud) override;

  // Each prepares the cloud of the input call before it; false, and no
  // alignment possible, for a cloud of fewer than k points or with a
  // non-finite one. align prepares what was not asked for.
  bool calculateSourceCovariances();
  bool calculateTargetCovariances();

  // Without usable inputs the guess (the identity for a non-finite one) stays
  // the final transformation and the engine reports no convergence.
  void align(PointCloudSource & output);
  void align(PointCloudSource & output, const Matrix4 & guess);

  // As pcl::Registration's, through the engine's own search tree.
  double getFitnessScore(double max_range = std::numeric_limits<double>::max());

  // The share of source points within max_distance (metres) of their nearest
  // target point at the final transformation, as Open3D's fitness; 0 without
  // usable inputs.
  double getInlierFraction(double max_distance);

  // Matching passes made by the last align, those over a sample of the
  // source while the pose is far off included.
  int getIterations() const {return this->nr_iterations_;}

protected:
  void computeTransformation(PointCloudSource & output, const Matrix4 & guess) override;

private:
  static Matrix4 kept(const Matrix4 & guess);
  // Each source point's squared distance to its nearest target point at the
  // final transformation (infinite when it has none); empty without inputs.
  // Measured once for the fitness score and the inlier fraction alike.
  const std::vector<float> & final_sq_distances();
  int threads();

  int num_threads_ = 0;
  IdleCores idle_cores_;
  int k_correspondences_ = 20;
  RegularizationMethod regularization_ = RegularizationMethod::PLANE;

  // what final_sq_distances measured, until an input or the pose changes
  std::vector<float> sq_distances_;
  bool sq_distances_measured_ = false;

  // the source's surface points and covariances, in Morton order
  std::vector<Eigen::Vector3f> source_surface_;
  std::vector<Eigen::Matrix3f> source_covariances_;
  bool source_prepared_ = false;
  std::unique_ptr<TargetCache<PointTarget>> target_cache_;
  std::shared_ptr<const PreparedTarget<PointTarget>> target_prepared_;
};

}  // namespace nano_gicp

#endif  // NANO_GICP__NANO_GICP_HPP_
