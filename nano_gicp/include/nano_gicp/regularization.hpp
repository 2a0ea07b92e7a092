#ifndef NANO_GICP__REGULARIZATION_HPP_
#define NANO_GICP__REGULARIZATION_HPP_

#include <Eigen/Core>
#include <Eigen/Eigenvalues>

#include <algorithm>
#include <limits>

namespace nano_gicp
{

// How a neighbourhood covariance is conditioned before it weights residuals.
// A raw covariance of points on a surface is nearly singular; its inverse
// would trust the flat direction without bound.
enum class RegularizationMethod
{
  PLANE = 0,            // eigenvalues replaced by 1, 1 and 1e-3: a disc along the surface
  MIN_EIG,              // eigenvalues raised to at least 1e-3
  NORMALIZED_MIN_EIG,   // eigenvalues divided by the largest, then raised to at least 1e-3
  FROBENIUS,            // 1e-3 added to the diagonal, then scaled so the inverse has unit norm
  NONE,                 // the covariance as estimated
};

inline Eigen::Matrix3d regularize(const Eigen::Matrix3d & cov, RegularizationMethod method)
{
  constexpr double epsilon = 1e-3;
  if (method == RegularizationMethod::NONE) {
    return cov;
  }
  if (method == RegularizationMethod::FROBENIUS) {
    const Eigen::Matrix3d inverse = (cov + epsilon * Eigen::Matrix3d::Identity()).inverse();
    return (inverse / inverse.norm()).inverse();
  }

  Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver;
  solver.computeDirect(cov);
  Eigen::Vector3d values = solver.eigenvalues();  // ascending
  switch (method) {
    case RegularizationMethod::PLANE:
      values = Eigen::Vector3d(epsilon, 1.0, 1.0);
      break;
    case RegularizationMethod::MIN_EIG:
      values = values.cwiseMax(epsilon);
      break;
    default:  // NORMALIZED_MIN_EIG
      values = (values / std::max(values(2), std::numeric_limits<double>::min())).cwiseMax(epsilon);
      break;
  }
  const Eigen::Matrix3d & vectors = solver.eigenvectors();
  return vectors * values.asDiagonal() * vectors.transpose();
}

}  // namespace nano_gicp

#endif  // NANO_GICP__REGULARIZATION_HPP_
