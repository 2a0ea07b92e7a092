#ifndef NANO_GICP__TERMINATION_CRITERIA_HPP_
#define NANO_GICP__TERMINATION_CRITERIA_HPP_

#include <Eigen/Core>

namespace nano_gicp
{

// When to stop: at an update whose translation is below the transformation
// epsilon (metres) and whose rotation is below the same number in radians,
// the angle that moves a point a metre away by that much; or once the pose
// lies within a tenth of a millimetre of where the steps end. Steps that
// shrink by a ratio q each still have step / (1 - q) to go: a slow approach
// is not taken for an arrival, and a fast one stops without passes spent on
// microns. Steps that stop shrinking within that tenth are re-matching's
// noise (some hundredths of a millimetre a pass on real depth data), which a
// finer epsilon would chase to the iteration limit.
struct TerminationCriteria
{
  double epsilon;
  static constexpr double resolution = 1e-4;

  bool converged(const Eigen::Matrix<double, 6, 1> & delta) const
  {
    return below(delta, epsilon);
  }

  // previous_norm is the norm of the step before delta, infinite when there
  // is none to compare with
  bool settled(const Eigen::Matrix<double, 6, 1> & delta, double previous_norm) const
  {
    const double ratio = delta.norm() / previous_norm;
    if (!(ratio < 1.0)) {
      return below(delta, resolution);
    }
    return ratio > 0.0 && below(delta / (1.0 - ratio), resolution);
  }

private:
  static bool below(const Eigen::Matrix<double, 6, 1> & delta, double bound)
  {
    return delta.tail<3>().norm() < bound && delta.head<3>().norm() < bound;
  }
};

}  // namespace nano_gicp

#endif  // NANO_GICP__TERMINATION_CRITERIA_HPP_
