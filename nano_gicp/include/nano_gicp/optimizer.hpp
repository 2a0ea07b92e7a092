#ifndef NANO_GICP__OPTIMIZER_HPP_
#define NANO_GICP__OPTIMIZER_HPP_

#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <Eigen/Geometry>
#include <Eigen/QR>

#include <cstdint>
#include <deque>
#include <limits>

#include "nano_gicp/gicp_factor.hpp"
#include "nano_gicp/termination_criteria.hpp"

namespace nano_gicp
{

struct OptimizationResult
{
  Eigen::Isometry3d T;
  int iterations = 0;  // correspondence searches made
  bool converged = false;
};

// exp of the update delta = (rotation vector, translation), applied on the right.
inline Eigen::Isometry3d se3_exp(const Vector6d & delta)
{
  Eigen::Isometry3d T = Eigen::Isometry3d::Identity();
  const double angle = delta.head<3>().norm();
  if (angle > 0.0) {
    T.linear() = Eigen::AngleAxisd(angle, delta.head<3>() / angle).toRotationMatrix();
  }
  T.translation() = delta.tail<3>();
  return T;
}

// Keeps the rotation orthonormal however many updates it has taken.
inline Eigen::Isometry3d orthonormalized(const Eigen::Isometry3d & T)
{
  Eigen::Isometry3d result = T;
  result.linear() = Eigen::Quaterniond(T.linear()).normalized().toRotationMatrix();
  return result;
}

// Poses near a reference as 6-vectors (rotation vector, translation, both
// in the reference's frame), where steps can be added and extrapolated.
class PoseChart
{
public:
  explicit PoseChart(const Eigen::Isometry3d & reference) : reference_(reference) {}

  Vector6d coordinates(const Eigen::Isometry3d & T) const
  {
    const Eigen::AngleAxisd rotation(reference_.linear().transpose() * T.linear());
    Vector6d x;
    x.head<3>() = rotation.angle() * rotation.axis();
    x.tail<3>() = reference_.linear().transpose() * (T.translation() - reference_.translation());
    return x;
  }

  Eigen::Isometry3d pose(const Vector6d & x) const
  {
    Eigen::Isometry3d T = reference_;
    const double angle = x.head<3>().norm();
    if (angle > 0.0) {
      T.linear() =
        reference_.linear() * Eigen::AngleAxisd(angle, x.head<3>() / angle).toRotationMatrix();
    }
    T.translation() += reference_.linear() * x.tail<3>();
    return orthonormalized(T);
  }

private:
  Eigen::Isometry3d reference_;
};

// Gauss-Newton on the correspondences of the current pose, matched afresh
// at every pose: the answer is the pose that its own correspondences hold in
// place, the fixed point of match-then-solve. It is not where a cost of
// fixed pairs is least, and its approach is not a descent of the cost of
// fresh pairs either: re-matching on a noisy surface raises and lowers that
// cost by more than a late step changes it, so neither can tell when to
// stop. The steps tell: each is a steady fraction of the one before (often
// eight tenths on real depth data), and the iteration stops when they say
// the pose is near enough where they end (termination_criteria.hpp), after
// the last step, which needs no pass of its own.
//
// Such a steady linear approach is what Anderson acceleration shortens
// (Anderson 1965; for ICP, Pavlov et al. 2018): from the last few poses and
// the steps they asked for, it extrapolates to where the steps would vanish.
// A candidate is kept only when it asks for a shorter step than the pose
// before did and lies within twice that step beyond it; otherwise the plain
// step is taken and the history starts again.
//
// Where clutter or the map's edge leaves two near fits, the steps can swing
// between them for good; when no pose has asked for a shorter step than the
// shortest so far for a dozen passes, the iteration ends there, unconverged.
//
// Each pair's weight also holds the surface's spread along itself. Matches
// slide with the source, so that part pulls the pose towards where it already
// is, and it stiffens H most in the directions that few surfaces' normals
// hold: there a step went only a fifth to a third of the way, which on real
// depth data cost many passes and let the steps fall below the stop short of
// the fixed point, at a different place from each start. So the steps are
// solved with H less the part each pair's least weight gives alike in every
// direction, while they shrink. Where no match follows such a step, it
// overshoots: at the first plain step asking for no shorter step than itself,
// the rest of the iteration solves with the whole H, unless that step is
// within the tenth, where it is re-matching's noise like any other.
class GaussNewtonOptimizer
{
public:
  template<typename Problem>
  OptimizationResult optimize(
    Problem & problem, const Eigen::Isometry3d & guess, int max_iterations,
    const TerminationCriteria & criteria) const
  {
    OptimizationResult result;
    result.T = guess;
    if (max_iterations < 1) {
      return result;
    }
    LinearizedSystem system = problem.linearize(result.T);
    result.iterations = 1;
    bool lean = true;  // H less the pairs' least weights
    Vector6d delta = solve(system, lean);
    double previous_norm = std::numeric_limits<double>::infinity();
    double shortest = delta.norm();
    int since_shortest = 0;
    const PoseChart chart(guess);
    std::deque<Vector6d> poses, images;  // x_k and x_k + delta_k, in the chart
    while (system.count >= min_correspondences && delta.allFinite()) {
      if (criteria.converged(delta) || criteria.settled(delta, previous_norm)) {
        result.T = orthonormalized(result.T * se3_exp(delta));
        result.converged = true;
        return result;
      }
      if (result.iterations >= max_iterations || since_shortest > stall_limit) {
        return result;
      }
      const Eigen::Isometry3d plain = orthonormalized(result.T * se3_exp(delta));
      poses.push_back(chart.coordinates(result.T));
      images.push_back(chart.coordinates(plain));
      if (poses.size() > memory + 1) {
        poses.pop_front();
        images.pop_front();
      }
      Eigen::Isometry3d candidate = plain;
      const bool accelerated = extrapolate(poses, images, chart, candidate);
      LinearizedSystem next = problem.evaluate(candidate);
      result.iterations++;
      Vector6d next_delta = solve(next, lean);
      bool took_plain = !accelerated;
      if (accelerated && !(next_delta.norm() < delta.norm()) &&
        result.iterations < max_iterations)
      {
        poses.clear();
        images.clear();
        candidate = plain;
        next = problem.evaluate(candidate);
        result.iterations++;
        next_delta = solve(next, lean);
        took_plain = true;
      }
      problem.accept();
      result.T = candidate;
      system = next;
      previous_norm = delta.norm();
      // such a step within the tenth is noise: the next check ends the iteration on it
      if (lean && took_plain && !(next_delta.norm() < delta.norm()) &&
        !criteria.settled(next_delta, delta.norm()))
      {
        lean = false;
        next_delta = solve(next, lean);
        poses.clear();
        images.clear();
        // a whole-H step is shorter than a lean one, not nearer the end
        previous_norm = std::numeric_limits<double>::infinity();
      }
      delta = next_delta;
      if (delta.norm() < shortest) {
        shortest = delta.norm();
        since_shortest = 0;
      } else {
        since_shortest++;
      }
    }
    return result;
  }

private:
  static Vector6d solve(const LinearizedSystem & system, bool lean)
  {
    Matrix6d A = lean ? Matrix6d(system.H - system.isotropic_part()) : system.H;
    // A floor under the diagonal keeps directions the geometry leaves free solvable.
    A.diagonal() += 1e-9 * system.H.diagonal().cwiseMax(1e-6 * system.H.diagonal().maxCoeff());
    return A.ldlt().solve(-system.b);
  }

  // Anderson's candidate from the history, when it has one worth trying.
  static bool extrapolate(
    const std::deque<Vector6d> & poses, const std::deque<Vector6d> & images,
    const PoseChart & chart, Eigen::Isometry3d & candidate)
  {
    const Eigen::Index n = static_cast<Eigen::Index>(poses.size()) - 1;
    if (n < 1) {
      return false;
    }
    Eigen::Matrix<double, 6, Eigen::Dynamic> residual_changes(6, n), image_changes(6, n);
    for (Eigen::Index j = 0; j < n; j++) {
      residual_changes.col(j) = (images[j + 1] - poses[j + 1]) - (images[j] - poses[j]);
      image_changes.col(j) = images[j + 1] - images[j];
    }
    const Vector6d residual = images.back() - poses.back();
    const Eigen::VectorXd gamma = residual_changes.colPivHouseholderQr().solve(residual);
    const Vector6d x = images.back() - image_changes * gamma;
    if (!x.allFinite() || (x - images.back()).norm() > max_reach * residual.norm()) {
      return false;
    }
    candidate = chart.pose(x);
    return true;
  }

  static constexpr std::size_t memory = 3;
  static constexpr double max_reach = 2.0;
  static constexpr int stall_limit = 12;
  static constexpr std::int64_t min_correspondences = 6;
};

}  // namespace nano_gicp

#endif  // NANO_GICP__OPTIMIZER_HPP_
