#ifndef NANO_GICP__TERMINATION_CRITERIA_HPP_
#define NANO_GICP__TERMINATION_CRITERIA_HPP_

#include <Eigen/Core>

namespace nano_gicp
{

// An update small enough to stop at: its translation below the epsilon (in
// metres) and its rotation below the angle that moves a point one metre from
// the origin by that same epsilon (in radians, numerically the epsilon).
struct TerminationCriteria
{
  double translation_epsilon;

  bool converged(const Eigen::Matrix<double, 6, 1> & delta) const
  {
    return delta.tail<3>().norm() < translation_epsilon &&
           delta.head<3>().norm() < translation_epsilon;
  }
};

}  // namespace nano_gicp

#endif  // NANO_GICP__TERMINATION_CRITERIA_HPP_
