#ifndef NANO_GICP__GICP_FACTOR_HPP_
#define NANO_GICP__GICP_FACTOR_HPP_

#include <Eigen/Core>
#include <Eigen/Geometry>
#include <pcl/point_cloud.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "nano_gicp/covariances.hpp"
#include "nano_gicp/prepared_target.hpp"
#include "nano_gicp/reduction_omp.hpp"
#include "nano_gicp/robust_kernel.hpp"

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
  std::int64_t count = 0;
  // sums of each pair's least weight w, w s and w s s^T (its upper half) over
  // its source point s
  double least_weight = 0.0;
  Eigen::Vector3d least_weighted_points = Eigen::Vector3d::Zero();
  Eigen::Matrix3d least_weighted_moments = Eigen::Matrix3d::Zero();

  LinearizedSystem & operator+=(const LinearizedSystem & other)
  {
    H += other.H;
    b += other.b;
    count += other.count;
    least_weight += other.least_weight;
    least_weighted_points += other.least_weighted_points;
    least_weighted_moments += other.least_weighted_moments;
    return *this;
  }

  // The part of H that each pair's least weight w gives alike in every
  // direction: the sum of w J^T J, J = [[s]x, -I].
  Matrix6d isotropic_part() const
  {
    const Eigen::Vector3d & m = least_weighted_points;
    const Eigen::Matrix3d moments = least_weighted_moments.selfadjointView<Eigen::Upper>();
    Eigen::Matrix3d skew;
    skew << 0.0, -m.z(), m.y(), m.z(), 0.0, -m.x(), -m.y(), m.x(), 0.0;
    Matrix6d part;
    part.topLeftCorner<3, 3>() = moments.trace() * Eigen::Matrix3d::Identity() - moments;
    part.topRightCorner<3, 3>() = skew;
    part.bottomLeftCorner<3, 3>() = -skew;
    part.bottomRightCorner<3, 3>() = least_weight * Eigen::Matrix3d::Identity();
    return part;
  }
};

// The plane-to-plane residual of one source point s matched to target point
// t, r = t - T s weighted by (C_t + R C_s R^T)^-1, taken in the source
// point's frame: u = R^T r weighted by W = (R^T C_t R + C_s)^-1, which gives
// the same cost u^T W u and a Jacobian free of R. The products keep to the
// symmetric halves: they are most of an alignment's arithmetic.
struct GICPFactor
{
  Eigen::Vector3d residual;
  Eigen::Matrix3d weight;
  double least_weight;  // 1 / |W^-1|_F, never above W's least eigenvalue

  GICPFactor(
    const Eigen::Isometry3d & T, const Eigen::Vector3d & s, const Eigen::Matrix3d & cov_s,
    const Eigen::Vector3d & t, const Eigen::Matrix3d & cov_t)
  : residual(T.linear().transpose() * (t - T.translation()) - s)
  {
    const Eigen::Matrix3d R = T.linear();
    const Eigen::Matrix3d M = cov_t * R;
    auto a = [&](int i, int j) {return R.col(i).dot(M.col(j)) + cov_s(i, j);};
    const double a00 = a(0, 0), a01 = a(0, 1), a02 = a(0, 2);
    const double a11 = a(1, 1), a12 = a(1, 2), a22 = a(2, 2);
    // the inverse by cofactors
    const double c00 = a11 * a22 - a12 * a12;
    const double c01 = a02 * a12 - a01 * a22;
    const double c02 = a01 * a12 - a02 * a11;
    const double inverse_det = 1.0 / (a00 * c00 + a01 * c01 + a02 * c02);
    least_weight = 1.0 / std::sqrt(
      a00 * a00 + a11 * a11 + a22 * a22 + 2.0 * (a01 * a01 + a02 * a02 + a12 * a12));
    weight(0, 0) = c00 * inverse_det;
    weight(0, 1) = weight(1, 0) = c01 * inverse_det;
    weight(0, 2) = weight(2, 0) = c02 * inverse_det;
    weight(1, 1) = (a00 * a22 - a02 * a02) * inverse_det;
    weight(1, 2) = weight(2, 1) = (a01 * a02 - a00 * a12) * inverse_det;
    weight(2, 2) = (a00 * a11 - a01 * a01) * inverse_det;
  }

  bool valid() const {return weight.allFinite();}

  void linearize(const Eigen::Vector3d & s, LinearizedSystem & sum) const
  {
    // u(delta) = u + [s]x omega - v: du/domega = [s]x, whose columns c_j
    // are s x e_j; du/dv = -I
    const Eigen::Vector3d c[3] = {{0.0, s.z(), -s.y()}, {-s.z(), 0.0, s.x()}, {s.y(), -s.x(), 0.0}};
    Eigen::Matrix3d weight_skew;  // W [s]x
    for (int j = 0; j < 3; j++) {
      weight_skew.col(j) = weight * c[j];
    }
    const Eigen::Vector3d weighted = weight * residual;
    for (int i = 0; i < 3; i++) {
      for (int j = i; j < 3; j++) {
        const double h = c[i].dot(weight_skew.col(j));
        sum.H(i, j) += h;
        sum.H(j, i) += i == j ? 0.0 : h;
      }
      sum.b(i) += c[i].dot(weighted);
    }
    sum.H.topRightCorner<3, 3>() -= weight_skew.transpose();
    sum.H.bottomLeftCorner<3, 3>() -= weight_skew;
    sum.H.bottomRightCorner<3, 3>() += weight;
    sum.b.tail<3>() -= weighted;
    sum.count++;
    const Eigen::Vector3d ws = least_weight * s;
    sum.least_weight += least_weight;
    sum.least_weighted_points += ws;
    Eigen::Matrix3d & moments = sum.least_weighted_moments;  // upper half only
    for (int i = 0; i < 3; i++) {
      for (int j = i; j < 3; j++) {
        moments(i, j) += ws(i) * s(j);
      }
    }
  }
};

// The registration cost of a source cloud against a prepared target: every
// source surface point matched to its nearest target point within reach,
// the residual taken to that point's surface point (prepared_target.hpp says
// why) and weighted down by the robust kernel as the pair lies apart. Both
// clouds stand for their surfaces alike, so where a plane fits a curved
// surface or an edge poorly, both leave it the same way. The source points
// are taken in Morton order, so consecutive pairs read neighbouring target
// points.
//
// A match remembers where its point was searched from and the distance
// there to the second-nearest target point. Every other target point stays
// at least that distance less the way moved since, so while the match is no
// farther than that, no other point can have come nearer: later iterations,
// which move the pose little, skip the search for most points and still
// match exactly.
template<typename PointTarget>
class GICPProblem
{
public:
  // The source's surface points and their covariances, in one order; the
  // problem reads them where they are.
  GICPProblem(
    const SurfacePoints & source, const Covariances & source_covariances,
    const PreparedTarget<PointTarget> & target, double max_correspondence_distance,
    int num_threads, GemanMcClure kernel)
  : surface_(source), source_covariances_(source_covariances), target_(target),
    kernel_(kernel),
    max_sq_distance_(max_correspondence_distance * max_correspondence_distance),
    num_threads_(num_threads), matches_(surface_.size()) {}

  // Matches each source point at pose T and linearizes the cost there.
  LinearizedSystem linearize(const Eigen::Isometry3d & T)
  {
    const LinearizedSystem system = evaluate(T);
    accept();
    return system;
  }

  // What linearize(T) would give, kept aside: the matches it makes replace
  // the current ones only on accept().
  LinearizedSystem evaluate(const Eigen::Isometry3d & T)
  {
    trial_.resize(matches_.size());
    return parallel_sum<LinearizedSystem>(
      size(), num_threads_, [&](std::int64_t i, LinearizedSystem & sum) {
        prefetch_match(i + prefetch_ahead);
        trial_[i] = matches_[i];
        match(trial_[i], (T * surface_point(i)).template cast<float>());
        add_pair(T, i, trial_[i], sum);
      });
  }

  void accept() {matches_.swap(trial_);}

private:
  static constexpr float settled_move = 1e-3f;  // metres between searches

  struct Match
  {
    Eigen::Vector3f searched_from;
    float second_distance = 0.0f;  // less a slack, 0 when not searched
    std::int32_t index = -1;
    float sq_distance = 0.0f;
  };

  void match(Match & m, const Eigen::Vector3f & p) const
  {
    const auto & target = target_.tree->cloud();
    const float moved_sq = m.index >= 0 ?
      (p - m.searched_from).squaredNorm() : std::numeric_limits<float>::infinity();
    if (m.index >= 0) {
      const float sq_distance = (target[m.index].getVector3fMap() - p).squaredNorm();
      if (std::sqrt(sq_distance) + std::sqrt(moved_sq) <= m.second_distance) {
        m.sq_distance = sq_distance;
        return;
      }
    }
    // A point still moving this fast would outrun any second distance; the
    // second neighbour is worth its search only once the pose settles, and
    // on the first search, as a guess is often close already.
    const std::size_t k = m.index < 0 || moved_sq < settled_move * settled_move ? 2 : 1;
    std::uint32_t indices[2];
    float sq_distances[2];
    const std::size_t found = target_.knn(p.data(), k, indices, sq_distances);
    m.index = static_cast<std::int32_t>(indices[0]);
    m.searched_from = p;
    m.sq_distance = sq_distances[0];
    // the slack covers the rounding of float distances near a metre
    m.second_distance = found < 2 ? 0.0f : std::max(std::sqrt(sq_distances[1]) - 1e-6f, 0.0f);
  }

  // A pass reads each point's last match in the target, scattered over
  // arrays far larger than the cache: asked for some points ahead, those
  // reads overlap instead of each waiting for memory.
  static constexpr std::int64_t prefetch_ahead = 8;

  void prefetch_match(std::int64_t i) const
  {
    if (i < size() && matches_[i].index >= 0) {
      const std::int32_t t = matches_[i].index;
      __builtin_prefetch(&target_.tree->cloud()[t]);
      __builtin_prefetch(&target_.covariances[t]);
      __builtin_prefetch(&target_.surface[t]);
    }
  }

  bool counts(const Match & m) const {return m.sq_distance <= max_sq_distance_;}

  // Adds the pair of source point i and its match at pose T when it counts.
  void add_pair(
    const Eigen::Isometry3d & T, std::int64_t i, const Match & m, LinearizedSystem & sum) const
  {
    if (!counts(m)) {
      return;
    }
    const Eigen::Vector3d s = surface_point(i);
    GICPFactor factor(
      T, s, source_covariances_[i].cast<double>(),
      target_.surface[m.index].template cast<double>(),
      target_.covariances[m.index].template cast<double>());
    const double w = kernel_.weight(m.sq_distance);
    factor.weight *= w;
    factor.least_weight *= w;
    if (factor.valid()) {
      factor.linearize(s, sum);
    }
  }

  std::int64_t size() const {return static_cast<std::int64_t>(surface_.size());}

  Eigen::Vector3d surface_point(std::int64_t i) const {return surface_[i].cast<double>();}

  const SurfacePoints & surface_;
  const Covariances & source_covariances_;
  const PreparedTarget<PointTarget> & target_;
  GemanMcClure kernel_;
  double max_sq_distance_;
  int num_threads_;
  std::vector<Match> matches_;
  std::vector<Match> trial_;  // matches of the last evaluate
};

}  // namespace nano_gicp

#endif  // NANO_GICP__GICP_FACTOR_HPP_
