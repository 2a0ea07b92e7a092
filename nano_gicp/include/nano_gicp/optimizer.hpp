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
// accepted update is below the criteria, when no step lowers the cost, or
// when matching afresh at the new pose no longer lowers the cost: what moves
// then is the noise of the points, not the pose.
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
    double lambda = initial_lambda;
    double previous_error = std::numeric_limits<double>::infinity();
    while (result.iterations < max_iterations) {
      const LinearizedSystem system = problem.linearize(result.T);
      result.iterations++;
      if (system.count < min_correspondences) {
        return result;
      }
      if (system.error >= previous_error) {
        result.converged = true;
        return result;
      }
      previous_error = system.error;
      // A floor on the damping keeps directions the geometry leaves free solvable.
      const Vector6d damping =
        system.H.diagonal().cwiseMax(1e-6 * system.H.diagonal().maxCoeff());
      bool lowered = false;
      for (int attempt = 0; attempt < max_attempts && !lowered; attempt++) {
        Matrix6d A = system.H;
        A.diagonal() += lambda * damping;
        const Vector6d delta = A.ldlt().solve(-system.b);
        if (delta.allFinite() && criteria.converged(delta)) {
          result.converged = true;  // the update left is below what counts
          return result;
        }
        const Eigen::Isometry3d candidate = orthonormalized(result.T * se3_exp(delta));
        if (delta.allFinite() && problem.error(candidate) < system.error) {
          result.T = candidate;
          lambda = std::max(lambda / lambda_factor, min_lambda);
          lowered = true;
        } else {
          lambda *= lambda_factor;
        }
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
