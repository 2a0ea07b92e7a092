#ifndef SYNTHETIC_SCENE_HPP_
#define SYNTHETIC_SCENE_HPP_

// A room corner with furniture: floor and two walls, two boxes, a cylinder,
// a sphere and a wavy sheet. Points are drawn uniformly over the surfaces,
// given 1 mm of noise and thinned on 5 mm voxels, as the node thins its
// clouds. Two draws of the same surfaces give a map and a camera cloud.

#include <Eigen/Geometry>
#include <pcl/filters/voxel_grid.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <cmath>
#include <functional>
#include <random>

using Cloud = pcl::PointCloud<pcl::PointXYZI>;

struct Box
{
  Eigen::Vector3f min, max;
  bool contains(const Eigen::Vector3f & p) const
  {
    return (p.array() >= min.array()).all() && (p.array() <= max.array()).all();
  }
};

inline Cloud::Ptr sample_scene(unsigned seed, const Box & crop)
{
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::normal_distribution<double> noise(0.0, 0.001);
  constexpr double density = 160000.0;  // points per m2, about four per voxel face

  Cloud raw;
  // surface(u, v) for u, v uniform in [0, 1), of the given area
  auto surface = [&](double area, const std::function<Eigen::Vector3d(double, double)> & at) {
      const int n = static_cast<int>(area * density);
      for (int i = 0; i < n; i++) {
        const Eigen::Vector3d p = at(uniform(rng), uniform(rng)) +
          Eigen::Vector3d(noise(rng), noise(rng), noise(rng));
        pcl::PointXYZI point;
        point.getVector3fMap() = p.cast<float>();
        point.intensity = 0.0f;
        if (crop.contains(point.getVector3fMap())) {
          raw.push_back(point);
        }
      }
    };
  auto rectangle = [&](const Eigen::Vector3d & corner, const Eigen::Vector3d & a,
      const Eigen::Vector3d & b) {
      surface(a.cross(b).norm(), [=](double u, double v) {return corner + u * a + v * b;});
    };
  auto box = [&](const Eigen::Vector3d & centre, const Eigen::Vector3d & size, double yaw) {
      const Eigen::Matrix3d R =
        Eigen::AngleAxisd(yaw, Eigen::Vector3d::UnitZ()).toRotationMatrix();
      const Eigen::Vector3d x = R.col(0) * size.x();
      const Eigen::Vector3d y = R.col(1) * size.y();
      const Eigen::Vector3d z = R.col(2) * size.z();
      const Eigen::Vector3d o = centre - 0.5 * (x + y);
      rectangle(o + z, x, y);
      rectangle(o, x, z);
      rectangle(o + y, x, z);
      rectangle(o, y, z);
      rectangle(o + x, y, z);
    };

  rectangle({-0.85, -0.85, 0.0}, {1.7, 0.0, 0.0}, {0.0, 1.7, 0.0});
  rectangle({0.85, -0.85, 0.0}, {0.0, 1.7, 0.0}, {0.0, 0.0, 0.8});
  rectangle({-0.85, 0.85, 0.0}, {1.7, 0.0, 0.0}, {0.0, 0.0, 0.8});
  box({0.3, -0.3, 0.0}, {0.4, 0.3, 0.3}, 0.0);
  box({-0.4, -0.5, 0.0}, {0.3, 0.3, 0.2}, 0.5);
  // (x, y) at radius r and turn a of a circle around (cx, cy)
  auto around = [](double cx, double cy, double r, double a) {
      return Eigen::Vector2d(cx + r * std::cos(2 * M_PI * a), cy + r * std::sin(2 * M_PI * a));
    };
  surface(2 * M_PI * 0.15 * 0.5, [&](double u, double v) {
      const Eigen::Vector2d xy = around(-0.3, 0.4, 0.15, u);
      return Eigen::Vector3d(xy.x(), xy.y(), 0.5 * v);
    });
  surface(M_PI * 0.15 * 0.15, [&](double u, double v) {
      const Eigen::Vector2d xy = around(-0.3, 0.4, 0.15 * std::sqrt(u), v);
      return Eigen::Vector3d(xy.x(), xy.y(), 0.5);
    });
  surface(4 * M_PI * 0.2 * 0.2, [&](double u, double v) {
      const double z = 2.0 * u - 1.0;
      const Eigen::Vector2d xy = around(0.5, 0.5, 0.2 * std::sqrt(1.0 - z * z), v);
      return Eigen::Vector3d(xy.x(), xy.y(), 0.21 + 0.2 * z);
    });
  surface(0.8 * 0.5, [](double u, double v) {
      const double x = -0.1 + 0.8 * u;
      const double y = 0.2 + 0.4 * v;
      return Eigen::Vector3d(x, y, 0.6 + 0.05 * std::sin(8.0 * x) * std::cos(6.0 * y));
    });

  Cloud::Ptr thinned(new Cloud);
  pcl::VoxelGrid<pcl::PointXYZI> voxel;
  voxel.setInputCloud(raw.makeShared());
  voxel.setLeafSize(0.005f, 0.005f, 0.005f);
  voxel.filter(*thinned);
  return thinned;
}

// A random rigid displacement of the given size: translation of `metres`
// in a random direction, rotation of `degrees` about a random axis.
inline Eigen::Matrix4f random_displacement(std::mt19937 & rng, double metres, double degrees)
{
  std::normal_distribution<double> gauss;
  auto unit = [&] {return Eigen::Vector3d(gauss(rng), gauss(rng), gauss(rng)).normalized();};
  const Eigen::Vector3d direction = unit();
  const Eigen::Vector3d axis = unit();
  Eigen::Isometry3d T = Eigen::Isometry3d::Identity();
  T.linear() = Eigen::AngleAxisd(degrees * M_PI / 180.0, axis).toRotationMatrix();
  T.translation() = metres * direction;
  return T.matrix().cast<float>();
}

#endif  // SYNTHETIC_SCENE_HPP_
