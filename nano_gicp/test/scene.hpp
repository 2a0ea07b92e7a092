#ifndef SCENE_HPP_
#define SCENE_HPP_

// Noise-free clouds for the tests: three planes meeting at a corner (twice,
// facing different ways) and two curved patches, so every degree of freedom
// is constrained, sampled near a grid.

#include <Eigen/Geometry>
#include <pcl/common/transforms.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cmath>
#include <random>

template<typename PointT = pcl::PointXYZI>
typename pcl::PointCloud<PointT>::Ptr make_scene(double spacing)
{
  auto cloud = typename pcl::PointCloud<PointT>::Ptr(new pcl::PointCloud<PointT>);
  auto add = [&](double x, double y, double z) {
      PointT p;
      p.x = static_cast<float>(x);
      p.y = static_cast<float>(y);
      p.z = static_cast<float>(z);
      cloud->push_back(p);
    };
  const int n = static_cast<int>(std::lround(0.3 / spacing));
  for (int i = 0; i < n; i++) {
    for (int j = 0; j < n; j++) {
      // off the grid by up to a tenth of the spacing, so that no two
      // neighbours of a point lie at exactly the same distance
      const double u = (i + 0.1 * std::sin(12.9898 * i + 78.233 * j)) * spacing;
      const double v = (j + 0.1 * std::sin(39.3468 * i + 11.135 * j)) * spacing;
      // corner at the origin
      add(u, v, 0.0);
      add(u, 0.0, v + spacing);
      add(0.0, u + spacing, v + spacing);
      // corner at (0.8, 0.1, 0.6), opening the other way
      add(0.8 - u, 0.1 + v, 0.6);
      add(0.8 - u, 0.1, 0.6 - v - spacing);
      add(0.8, 0.1 + u + spacing, 0.6 - v - spacing);
      // a sphere cap of radius 0.25 and a wave
      const double a = u - 0.15;
      const double b = v - 0.15;
      add(0.4 + a, -0.4 + b, 0.1 + std::sqrt(0.0625 - a * a - b * b));
      add(-0.5 + u, 0.4 + v, 0.3 + 0.03 * std::sin(20.0 * u) * std::cos(15.0 * v));
    }
  }
  return cloud;
}

inline Eigen::Matrix4f make_transform(double angle_deg, const Eigen::Vector3d & axis,
  const Eigen::Vector3d & translation)
{
  Eigen::Isometry3d T = Eigen::Isometry3d::Identity();
  T.linear() = Eigen::AngleAxisd(angle_deg * M_PI / 180.0, axis.normalized()).toRotationMatrix();
  T.translation() = translation;
  return T.matrix().cast<float>();
}

// A source that the transform T carries exactly onto the target.
template<typename PointT>
typename pcl::PointCloud<PointT>::Ptr displaced(
  const pcl::PointCloud<PointT> & target, const Eigen::Matrix4f & T)
{
  auto source = typename pcl::PointCloud<PointT>::Ptr(new pcl::PointCloud<PointT>);
  const Eigen::Matrix4f inverse = T.inverse();
  pcl::transformPointCloud(target, *source, inverse);
  return source;
}

// The cloud as a sensor gives it: every point moved by noise of sigma metres.
template<typename PointT>
typename pcl::PointCloud<PointT>::Ptr noisy(
  const pcl::PointCloud<PointT> & cloud, double sigma, unsigned seed)
{
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, static_cast<float>(sigma));
  auto result = typename pcl::PointCloud<PointT>::Ptr(new pcl::PointCloud<PointT>(cloud));
  for (auto & p : *result) {
    p.x += noise(rng);
    p.y += noise(rng);
    p.z += noise(rng);
  }
  return result;
}

inline double rotation_error_deg(const Eigen::Matrix4f & a, const Eigen::Matrix4f & b)
{
  const Eigen::Matrix3d R = a.topLeftCorner<3, 3>().cast<double>().transpose() *
    b.topLeftCorner<3, 3>().cast<double>();
  return Eigen::AngleAxisd(R).angle() * 180.0 / M_PI;
}

inline double translation_error(const Eigen::Matrix4f & a, const Eigen::Matrix4f & b)
{
  return (a.topRightCorner<3, 1>() - b.topRightCorner<3, 1>()).cast<double>().norm();
}

#endif  // SCENE_HPP_
