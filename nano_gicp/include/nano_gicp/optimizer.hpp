#ifndef NANO_GICP__OPTIMIZER_HPP_
#define NANO_GICP__OPTIMIZER_HPP_

#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <Eigen/Geometry>

#include <algorithm>
#include <cstdint>
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

// Levenberg-Marquardt: each iteration matches correspondences at the current
// pose and solves (H + lambda diag(H)) delta = -b, raising lambda until the
// step lowers the cost of those correspondences. It stops converged when the
// accepted update or the change of the pairs' mean squared distance is below
// the criteria, when no step lowers the cost, or when matching afresh at the
// new pose no longer lowers the cost: what moves then is the noise of the
// points, not the pose. A step is tried together with the matching at its
// pose, so an accepted step costs one pass over the points; the last allowed
// iteration only tries steps.
class LevenbergMarquardtOptimizer
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
    double lambda = initial_lambda;
    while (system.count >= min_correspondences) {
      // A floor on the damping keeps directions the geometry leaves free solvable.
      const Vector6d damping =
        system.H.diagonal().cwiseMax(1e-6 * system.H.diagonal().maxCoeff());
      bool lowered = false;
      for (int attempt = 0; attempt < max_attempts && !lowered; attempt++) {
        Matrix6d A = system.H;
        A.diagonal() += lambda * damping;
        const Vector6d delta = A.ldlt().solve(-system.b);
        if (!delta.allFinite()) {
          lambda *= lambda_factor;
          continue;
        }
        if (criteria.converged(delta)) {
          result.converged = true;  // the update left is below what counts
          return result;
        }
        const Eigen::Isometry3d candidate = orthonormalized(result.T * se3_exp(delta));
        // The first try of an iteration matches at its pose in the same
        // pass; after a refusal, when the pose has likely settled, tries cost
        // only the error of the current matches.
        LinearizedSystem fresh;
        if (attempt > 0 || result.iterations >= max_iterations) {
          if (problem.error(candidate) >= system.error) {
            lambda *= lambda_factor;
            continue;
          }
          result.T = candidate;
          if (result.iterations >= max_iterations) {
            return result;  // the iteration limit
          }
          fresh = problem.linearize(candidate);
        } else {
          const auto evaluation = problem.evaluate(candidate);
          if (evaluation.error >= system.error) {
            result.iterations++;
            lambda *= lambda_factor;
            continue;
          }
          problem.accept();
          result.T = candidate;
          fresh = evaluation.system;
        }
        result.iterations++;
        lambda = std::max(lambda / lambda_factor, min_lambda);
        // matching afresh at the new pose no longer lowers the cost, or the
        // pairs no longer draw closer
        if (fresh.count >= min_correspondences &&
          (fresh.error >= system.error ||
          criteria.converged(system.mean_sq_distance(), fresh.mean_sq_distance())))
        {
          result.converged = true;
          return result;
        }
        system = fresh;
        lowered = true;
      }
      if (!lowered) {
        result.converged = true;
        return result;
      }
    }
    return result;
  }

private:
  static constexpr double initial_lambda = 1e-6;
  static constexpr double min_lambda = 1e-9;
  static constexpr double lambda_factor = 10.0;
  static constexpr int max_attempts = 6;
  static constexpr std::int64_t min_correspondences = 6;
};

}  // namespace nano_gicp

#endif  // NANO_GICP__OPTIMIZER_HPP_
