#ifndef NANO_GICP__TERMINATION_CRITERIA_HPP_
#define NANO_GICP__TERMINATION_CRITERIA_HPP_

#include <Eigen/Core>

namespace nano_gicp
{

// When to stop: at an update whose translation is below the transformation
// epsilon (metres) and whose rotation is below the same number in radians,
// the angle that moves a point a metre away by that much; or, on noisy data,
// where the steps stop shrinking within a tenth of a millimetre. There
// re-matching alone moves the pose by some hundredths of a millimetre each
// pass, and a finer epsilon would chase that noise to the iteration limit;
// on clean data the steps shrink on to the epsilon.
struct TerminationCriteria
{
  double epsilon;
  static constexpr double resolution = 1e-4;

  bool converged(const Eigen::Matrix<double, 6, 1> & delta) const
  {
    return below(delta, epsilon);
  }

  bool settled(const Eigen::Matrix<double, 6, 1> & delta, double previous_norm) const
  {
    return below(delta, resolution) && !(delta.norm() < previous_norm);
  }

private:
  static bool below(const Eigen::Matrix<double, 6, 1> & delta, double bound)
  {
    return delta.tail<3>().norm() < bound && delta.head<3>().norm() < bound;
  }
};

}  // namespace nano_gicp

#endif  // NANO_GICP__TERMINATION_CRITERIA_HPP_
