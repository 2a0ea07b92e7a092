#ifndef NANO_GICP__TERMINATION_CRITERIA_HPP_
#define NANO_GICP__TERMINATION_CRITERIA_HPP_

#include <Eigen/Core>

#include <cmath>

namespace nano_gicp
{

// When to stop, as pcl::Registration's settings mean it: an update whose
// translation is below the transformation epsilon (in metres) and whose
// rotation is below the angle that moves a point one metre from the origin by
// that same epsilon (in radians, numerically the epsilon); or two iterations
// whose mean squared distance between paired points differs by less than the
// Euclidean fitness epsilon (in square metres).
struct TerminationCriteria
{
  double translation_epsilon;
  double euclidean_fitness_epsilon;

  bool converged(const Eigen::Matrix<double, 6, 1> & delta) const
  {
    return delta.tail<3>().norm() < translation_epsilon &&
           delta.head<3>().norm() < translation_epsilon;
  }

  bool converged(double previous_mse, double mse) const
  {
    return std::abs(mse - previous_mse) < euclidean_fitness_epsilon;
  }
};

}  // namespace nano_gicp

#endif  // NANO_GICP__TERMINATION_CRITERIA_HPP_
