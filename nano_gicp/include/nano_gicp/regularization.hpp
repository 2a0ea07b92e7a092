#ifndef NANO_GICP__REGULARIZATION_HPP_
#define NANO_GICP__REGULARIZATION_HPP_

#include <Eigen/Core>
#include <Eigen/Eigenvalues>

#include <algorithm>
#include <cmath>
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

// The unit eigenvector of a covariance's least eigenvalue, which is all
// PLANE needs, without the solver's trigonometry: Newton's method on the
// characteristic polynomial, begun at 0, rises to the least root without
// passing it (the polynomial falls and is convex up to there), and the
// kernel of C - lambda I is the longest cross product of two of its rows.
// False where that kernel is not a line to this precision: a least
// eigenvalue nearly double, or a covariance nearly of rank one or zero.
inline bool least_eigenvector(const Eigen::Matrix3d & cov, Eigen::Vector3d & normal)
{
  const double a = cov(0, 0), b = cov(1, 1), c = cov(2, 2);
  const double d = cov(0, 1), e = cov(1, 2), f = cov(0, 2);
  // det(C - l I) = -l^3 + trace l^2 - minors l + det
  const double trace = a + b + c;
  const double minors = a * b + a * c + b * c - d * d - e * e - f * f;
  const double det = a * b * c + 2 * d * e * f - a * e * e - b * f * f - c * d * d;
  double l = 0.0;
  for (int iteration = 0; ; iteration++) {
    if (iteration == 12) {
      return false;  // roots this close converge too slowly to trust
    }
    const double p = ((trace - l) * l - minors) * l + det;
    const double slope = (2 * trace - 3 * l) * l - minors;
    const double step = p / slope;
    l -= step;
    if (!(std::abs(step) > 1e-12 * trace)) {  // a NaN step (rank one) ends here too
      break;
    }
  }
  const Eigen::Vector3d r0(a - l, d, f), r1(d, b - l, e), r2(f, e, c - l);
  const Eigen::Vector3d crosses[3] = {r0.cross(r1), r0.cross(r2), r1.cross(r2)};
  int longest = 0;
  for (int i = 1; i < 3; i++) {
    if (crosses[i].squaredNorm() > crosses[longest].squaredNorm()) {
      longest = i;
    }
  }
  const double sq_length = crosses[longest].squaredNorm();
  if (!(sq_length > 1e-6 * trace * trace * trace * trace)) {
    return false;
  }
  normal = crosses[longest] / std::sqrt(sq_length);
  return true;
}

// The least eigenvalue the methods leave a covariance, or give it.
inline constexpr double regularization_epsilon = 1e-3;

// PLANE's covariance of a surface with this unit normal: V diag(epsilon, 1,
// 1) V^T, V orthonormal with the normal first.
inline Eigen::Matrix3d plane_covariance(const Eigen::Vector3d & normal)
{
  return Eigen::Matrix3d::Identity() -
         (1.0 - regularization_epsilon) * normal * normal.transpose();
}

inline Eigen::Matrix3d regularize(const Eigen::Matrix3d & cov, RegularizationMethod method)
{
  constexpr double epsilon = regularization_epsilon;
  if (method == RegularizationMethod::NONE) {
    return cov;
  }
  Eigen::Vector3d normal;
  if (method == RegularizationMethod::PLANE && least_eigenvector(cov, normal)) {
    return plane_covariance(normal);
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
