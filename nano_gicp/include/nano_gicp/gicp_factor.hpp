#ifndef NANO_GICP__GICP_FACTOR_HPP_
#define NANO_GICP__GICP_FACTOR_HPP_

#include <Eigen/Core>
#include <Eigen/Geometry>
#include <pcl/point_cloud.h>

#include <algorithm>
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
//
// A match remembers where its point was searched from and half the gap
// between its nearest and second-nearest distances there. While the point
// stays within that margin of where it was searched, no other target point
// can have come nearer, so later iterations, which move the pose little,
// skip the search for most points and still match exactly.
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
    num_threads_(num_threads), matches_(source.size()) {}

  // Matches each source point at pose T and linearizes the cost there.
  LinearizedSystem linearize(const Eigen::Isometry3d & T)
  {
    matched_pose_ = T;
    return parallel_sum<LinearizedSystem>(
      size(), num_threads_, [&](std::int64_t i, LinearizedSystem & sum) {
        const Eigen::Vector3d s = source_point(i);
        match(matches_[i], (T * s).cast<float>());
        if (counts(matches_[i])) {
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
        if (counts(matches_[i])) {
          const GICPFactor factor = make_factor(T, i);
          if (factor.valid()) {
            sum += factor.error();
          }
        }
      });
  }

  // The pose of the last linearize, and each point's squared distance there
  // to its nearest target point, whatever the distance.
  const Eigen::Isometry3d & matched_pose() const {return matched_pose_;}
  std::vector<float> nearest_sq_distances() const
  {
    std::vector<float> result(matches_.size());
    for (std::size_t i = 0; i < matches_.size(); i++) {
      result[i] = matches_[i].sq_distance;
    }
    return result;
  }

private:
  struct Match
  {
    Eigen::Vector3f searched_from;
    float margin = 0.0f;
    std::int32_t index = -1;
    float sq_distance = 0.0f;
  };

  void match(Match & m, const Eigen::Vector3f & p) const
  {
    const auto & target = target_.tree->cloud();
    if (m.index >= 0 && (p - m.searched_from).squaredNorm() < m.margin * m.margin) {
      m.sq_distance = (target[m.index].getVector3fMap() - p).squaredNorm();
      return;
    }
    std::uint32_t indices[2];
    float sq_distances[2];
    const std::size_t found = target_.tree->knn(p.data(), 2, indices, sq_distances);
    m.index = static_cast<std::int32_t>(indices[0]);
    m.searched_from = p;
    m.sq_distance = sq_distances[0];
    // the slack covers the rounding of float distances near a metre
    m.margin = found < 2 ? 0.0f :
      std::max(0.5f * (std::sqrt(sq_distances[1]) - std::sqrt(sq_distances[0])) - 1e-6f, 0.0f);
  }

  bool counts(const Match & m) const {return m.sq_distance <= max_sq_distance_;}

  std::int64_t size() const {return static_cast<std::int64_t>(source_.size());}

  Eigen::Vector3d source_point(std::int64_t i) const
  {
    return source_[i].getVector3fMap().template cast<double>();
  }

  GICPFactor make_factor(const Eigen::Isometry3d & T, std::int64_t i) const
  {
    const std::int32_t j = matches_[i].index;
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
  std::vector<Match> matches_;
  Eigen::Isometry3d matched_pose_ = Eigen::Isometry3d::Identity();
};

}  // namespace nano_gicp

#endif  // NANO_GICP__GICP_FACTOR_HPP_
