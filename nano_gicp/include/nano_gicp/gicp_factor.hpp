#ifndef NANO_GICP__GICP_FACTOR_HPP_
#define NANO_GICP__GICP_FACTOR_HPP_

#include <Eigen/Core>
#include <Eigen/Geometry>
#include <pcl/point_cloud.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "nano_gicp/covariances.hpp"
#include "nano_gicp/prepared_target.hpp"
#include "nano_gicp/reduction_omp.hpp"

namespace nano_gicp
{

using Matrix6d = Eigen::Matrix<double, 6, 6>;
using Vector6d = Eigen::Matrix<double, 6, 1>;

// Gauss-Newton system of the cost sum r^T M r over the correspondences, for
// a pose update T * exp(delta), delta = (rotation, translation).
struct LinearizedSystem
{
  Matrix6d H = Matrix6d::Zero();
  Vector6d b = Vector6d::Zero();
  double error = 0.0;
  std::int64_t count = 0;

  LinearizedSystem & operator+=(const LinearizedSystem & other)
  {
    H += other.H;
    b += other.b;
    error += other.error;
    count += other.count;
    return *this;
  }
};

// The plane-to-plane residual of one source point s matched to target point
// t: r = t - T s, weighted by M = (C_t + R C_s R^T)^-1.
struct GICPFactor
{
  Eigen::Vector3d residual;
  Eigen::Matrix3d mahalanobis;

  GICPFactor(
    const Eigen::Isometry3d & T, const Eigen::Vector3d & s, const Eigen::Matrix3d & cov_s,
    const Eigen::Vector3d & t, const Eigen::Matrix3d & cov_t)
  : residual(t - T * s),
    mahalanobis((cov_t + T.linear() * cov_s * T.linear().transpose()).inverse()) {}

  bool valid() const {return mahalanobis.allFinite();}
  double error() const {return residual.dot(mahalanobis * residual);}

  void linearize(const Eigen::Isometry3d & T, const Eigen::Vector3d & s, LinearizedSystem & sum)
  const
  {
    // r(delta) = t - T (s + omega x s + v): dr/domega = R [s]x, dr/dv = -R
    Eigen::Matrix<double, 3, 6> J;
    Eigen::Matrix3d skew;
    skew << 0.0, -s.z(), s.y(), s.z(), 0.0, -s.x(), -s.y(), s.x(), 0.0;
    J.leftCols<3>() = T.linear() * skew;
    J.rightCols<3>() = -T.linear();
    const Eigen::Matrix<double, 6, 3> JtM = J.transpose() * mahalanobis;
    sum.H += JtM * J;
    sum.b += JtM * residual;
    sum.error += error();
    sum.count++;
  }
};

// The registration cost of a source cloud against a prepared target: every
// source point matched to its nearest target point within reach.
template<typename PointSource, typename PointTarget>
class GICPProblem
{
public:
  GICPProblem(
    const pcl::PointCloud<PointSource> & source, const Covariances & source_covariances,
    const PreparedTarget<PointTarget> & target, double max_correspondence_distance,
    int num_threads)
  : source_(source), source_covariances_(source_covariances), target_(target),
    max_sq_distance_(max_correspondence_distance * max_correspondence_distance),
    num_threads_(num_threads), correspondences_(source.size(), -1) {}

  // Matches each source point at pose T and linearizes the cost there.
  LinearizedSystem linearize(const Eigen::Isometry3d & T)
  {
    return parallel_sum<LinearizedSystem>(
      size(), num_threads_, [&](std::int64_t i, LinearizedSystem & sum) {
        const Eigen::Vector3d s = source_point(i);
        correspondences_[i] = nearest(T * s);
        if (correspondences_[i] >= 0) {
          const GICPFactor factor = make_factor(T, i);
          if (factor.valid()) {
            factor.linearize(T, s, sum);
          }
        }
      });
  }

  // The cost at pose T of the correspondences found by the last linearize.
  double error(const Eigen::Isometry3d & T) const
  {
    return parallel_sum<double>(
      size(), num_threads_, [&](std::int64_t i, double & sum) {
        if (correspondences_[i] >= 0) {
          const GICPFactor factor = make_factor(T, i);
          if (factor.valid()) {
            sum += factor.error();
          }
        }
      });
  }

private:
  std::int64_t size() const {return static_cast<std::int64_t>(source_.size());}

  Eigen::Vector3d source_point(std::int64_t i) const
  {
    return source_[i].getVector3fMap().template cast<double>();
  }

  std::int32_t nearest(const Eigen::Vector3d & p) const
  {
    const Eigen::Vector3f query = p.cast<float>();
    std::uint32_t index;
    float sq_distance;
    if (!target_.tree->nearest(query.data(), index, sq_distance) ||
      sq_distance > max_sq_distance_)
    {
      return -1;
    }
    return static_cast<std::int32_t>(index);
  }

  GICPFactor make_factor(const Eigen::Isometry3d & T, std::int64_t i) const
  {
    const std::int32_t j = correspondences_[i];
    return GICPFactor(
      T, source_point(i), source_covariances_[i].cast<double>(),
      target_.tree->cloud()[j].getVector3fMap().template cast<double>(),
      target_.covariances[j].template cast<double>());
  }

  const pcl::PointCloud<PointSource> & source_;
  const Covariances & source_covariances_;
  const PreparedTarget<PointTarget> & target_;
  double max_sq_distance_;
  int num_threads_;
  std::vector<std::int32_t> correspondences_;
};

}  // namespace nano_gicp

#endif  // NANO_GICP__GICP_FACTOR_HPP_
