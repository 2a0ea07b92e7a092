#include "nano_gicp/nano_gicp.hpp"

#include <pcl/common/transforms.h>
#include <pcl/point_types.h>

#include <algorithm>
#include <cstdint>

#include "nano_gicp/covariances.hpp"
#include "nano_gicp/gicp_factor.hpp"
#include "nano_gicp/neighbour_grid.hpp"
#include "nano_gicp/optimizer.hpp"
#include "nano_gicp/prepared_target.hpp"
#include "nano_gicp/target_cache.hpp"
#include "nano_gicp/termination_criteria.hpp"

namespace nano_gicp
{

template<typename PointSource, typename PointTarget>
NanoGICP<PointSource, PointTarget>::NanoGICP()
: target_cache_(std::make_unique<TargetCache<PointTarget>>())
{
  this->reg_name_ = "NanoGICP";
}

template<typename PointSource, typename PointTarget>
NanoGICP<PointSource, PointTarget>::~NanoGICP() = default;

template<typename PointSource, typename PointTarget>
void NanoGICP<PointSource, PointTarget>::setNumThreads(int n)
{
  num_threads_ = n;
}

template<typename PointSource, typename PointTarget>
void NanoGICP<PointSource, PointTarget>::setCorrespondenceRandomness(int k)
{
  k_correspondences_ = k;
  source_prepared_ = false;
  target_prepared_.reset();
}

template<typename PointSource, typename PointTarget>
void NanoGICP<PointSource, PointTarget>::setRegularizationMethod(RegularizationMethod method)
{
  regularization_ = method;
  source_prepared_ = false;
  target_prepared_.reset();
}

template<typename PointSource, typename PointTarget>
void NanoGICP<PointSource, PointTarget>::setInputSource(const PointCloudSourceConstPtr & cloud)
{
  // pcl::Registration would refuse an empty cloud and keep the previous one.
  pcl::PCLBase<PointSource>::setInputCloud(cloud);
  this->source_cloud_updated_ = true;
  source_prepared_ = false;
  sq_distances_measured_ = false;
}

template<typename PointSource, typename PointTarget>
void NanoGICP<PointSource, PointTarget>::setInputTarget(const PointCloudTargetConstPtr & cloud)
{
  this->target_ = cloud;
  // The engine searches its own tree: pcl::Registration must not build one.
  this->target_cloud_updated_ = false;
  target_prepared_.reset();
  sq_distances_measured_ = false;
}

template<typename PointSource, typename PointTarget>
bool NanoGICP<PointSource, PointTarget>::calculateSourceCovariances()
{
  source_prepared_ = false;
  source_covariances_.clear();
  source_surface_.clear();
  if (!this->input_ || !has_covariances(*this->input_, k_correspondences_)) {
    return false;
  }
  const NeighbourGrid<PointSource> grid(*this->input_, k_correspondences_, threads());
  source_covariances_ = estimate_covariances<PointSource>(
    this->input_, grid, k_correspondences_, regularization_, threads(), nullptr,
    &source_surface_);
  source_prepared_ = true;
  return true;
}

template<typename PointSource, typename PointTarget>
bool NanoGICP<PointSource, PointTarget>::calculateTargetCovariances()
{
  target_prepared_.reset();
  sq_distances_measured_ = false;
  if (!this->target_ || !has_covariances(*this->target_, k_correspondences_)) {
    return false;
  }
  target_prepared_ =
    target_cache_->prepare(this->target_, k_correspondences_, regularization_, threads());
  return true;
}

template<typename PointSource, typename PointTarget>
void NanoGICP<PointSource, PointTarget>::align(PointCloudSource & output)
{
  align(output, Matrix4::Identity());
}

template<typename PointSource, typename PointTarget>
void NanoGICP<PointSource, PointTarget>::align(PointCloudSource & output, const Matrix4 & guess)
{
  if (this->input_ && this->target_) {
    Base::align(output, guess);
    return;
  }
  // pcl::Registration would return without touching its results.
  this->converged_ = false;
  sq_distances_measured_ = false;
  this->nr_iterations_ = 0;
  this->final_transformation_ = this->transformation_ = kept(guess);
  output.clear();
  if (this->input_) {
    pcl::transformPointCloud(*this->input_, output, this->final_transformation_);
  }
}

template<typename PointSource, typename PointTarget>
void NanoGICP<PointSource, PointTarget>::computeTransformation(
  PointCloudSource & output, const Matrix4 & guess)
{
  this->converged_ = false;
  sq_distances_measured_ = false;
  this->nr_iterations_ = 0;
  this->final_transformation_ = kept(guess);
  const bool ready = guess.allFinite() &&
    (source_prepared_ || calculateSourceCovariances()) &&
    (target_prepared_ || calculateTargetCovariances());
  if (ready) {
    Eigen::Isometry3d start = orthonormalized(Eigen::Isometry3d(guess.template cast<double>()));
    const TerminationCriteria criteria{this->transformation_epsilon_};
    // While the pose is centimetres off, the surface's own pairs lie that
    // far apart, and a kernel that leaves clutter out would leave them out
    // too: the first passes take a kernel wide enough for them, until their
    // steps settle, and the whole cloud settles from there with the narrow
    // one. Those first passes also search every point again at each step,
    // as every point moves farther than the gap to its second-nearest target
    // point: a large cloud makes them with every eighth point in curve order,
    // spread evenly over it. The answer is the whole cloud's all the same.
    constexpr std::size_t stride = 8;
    constexpr std::size_t min_sample = 1000;
    int coarse_iterations = 0;
    if (this->max_iterations_ > 1) {
      const std::size_t step = source_surface_.size() >= stride * min_sample ? stride : 1;
      SurfacePoints surface;
      Covariances covariances;
      for (std::size_t t = 0; t < source_surface_.size(); t += step) {
        surface.push_back(source_surface_[t]);
        covariances.push_back(source_covariances_[t]);
      }
      GICPProblem<PointTarget> coarse(
        surface, covariances, *target_prepared_, this->corr_dist_threshold_, threads(),
        coarse_kernel);
      // at least one pass is left to the narrow kernel
      const OptimizationResult result =
        GaussNewtonOptimizer().optimize(coarse, start, this->max_iterations_ - 1, criteria);
      start = result.T;
      coarse_iterations = result.iterations;
    }
    GICPProblem<PointTarget> problem(
      source_surface_, source_covariances_, *target_prepared_, this->corr_dist_threshold_,
      threads(), outlier_kernel);
    const OptimizationResult result = GaussNewtonOptimizer().optimize(
      problem, start, this->max_iterations_ - coarse_iterations, criteria);
    this->final_transformation_ = result.T.matrix().template cast<float>();
    this->converged_ = result.converged;
    this->nr_iterations_ = coarse_iterations + result.iterations;
  }
  this->transformation_ = this->final_transformation_;
  pcl::transformPointCloud(*this->input_, output, this->final_transformation_);
}

template<typename PointSource, typename PointTarget>
double NanoGICP<PointSource, PointTarget>::getFitnessScore(double max_range)
{
  double sum = 0.0;
  std::int64_t count = 0;
  for (const float sq_distance : final_sq_distances()) {
    if (sq_distance <= max_range) {
      sum += sq_distance;
      count++;
    }
  }
  return count > 0 ? sum / count : std::numeric_limits<double>::max();
}

template<typename PointSource, typename PointTarget>
double NanoGICP<PointSource, PointTarget>::getInlierFraction(double max_distance)
{
  const std::vector<float> & sq_distances = final_sq_distances();
  if (sq_distances.empty()) {
    return 0.0;
  }
  const double max_sq_distance = max_distance * max_distance;
  const auto inliers = std::count_if(
    sq_distances.begin(), sq_distances.end(),
    [max_sq_distance](float sq_distance) {return sq_distance <= max_sq_distance;});
  return static_cast<double>(inliers) / static_cast<double>(sq_distances.size());
}

template<typename PointSource, typename PointTarget>
const std::vector<float> & NanoGICP<PointSource, PointTarget>::final_sq_distances()
{
  if (sq_distances_measured_) {
    return sq_distances_;
  }
  sq_distances_.clear();
  if (!this->input_ || (!target_prepared_ && !calculateTargetCovariances())) {
    return sq_distances_;
  }
  const Eigen::Isometry3d T(this->final_transformation_.template cast<double>());
  const auto & source = *this->input_;
  const PreparedTarget<PointTarget> & target = *target_prepared_;
  sq_distances_.assign(source.size(), std::numeric_limits<float>::infinity());
#pragma omp parallel for num_threads(threads()) schedule(static)
  for (std::int64_t i = 0; i < static_cast<std::int64_t>(source.size()); i++) {
    const Eigen::Vector3d p = T * source[i].getVector3fMap().template cast<double>();
    const Eigen::Vector3f query = p.cast<float>();
    std::uint32_t index;
    float sq_distance;
    if (query.allFinite() && target.knn(query.data(), 1, &index, &sq_distance) == 1) {
      sq_distances_[i] = static_cast<float>(
        (target.tree->cloud()[index].getVector3fMap().template cast<double>() - p).squaredNorm());
    }
  }
  sq_distances_measured_ = true;
  return sq_distances_;
}

template<typename PointSource, typename PointTarget>
typename NanoGICP<PointSource, PointTarget>::Matrix4
NanoGICP<PointSource, PointTarget>::kept(const Matrix4 & guess)
{
  // the final transformation stays a rigid transform whatever the guess
  return guess.allFinite() ? guess : Matrix4::Identity();
}

template<typename PointSource, typename PointTarget>
int NanoGICP<PointSource, PointTarget>::threads()
{
  return num_threads_ > 0 ? num_threads_ : idle_cores_.count();
}

template class NanoGICP<pcl::PointXYZI, pcl::PointXYZI>;
template class NanoGICP<pcl::PointXYZ, pcl::PointXYZ>;

}  // namespace nano_gicp
