#include "bathroom_sim/depth_camera.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace bathroom_sim
{
namespace
{

// Returns vanish beyond 80 degrees of incidence and thin out from 70.
const double kGrazingDrop = std::cos(80.0 * M_PI / 180.0);
const double kGrazingThin = std::cos(70.0 * M_PI / 180.0);
// A jump larger than this between neighbours is a depth edge.
constexpr float kEdgeJump = 0.02f;
constexpr double kEdgeDropout = 0.5;

// Axial noise of a structured-light sensor at depth z.
double depthSigma(double z)
{
  return 0.0012 + 0.0019 * (z - 0.4) * (z - 0.4);
}

bool onEdge(const cv::Mat & depth, int v, int u)
{
  const float z = depth.at<float>(v, u);
  const int du[] = {1, -1, 0, 0};
  const int dv[] = {0, 0, 1, -1};
  for (int i = 0; i < 4; ++i) {
    const int x = u + du[i];
    const int y = v + dv[i];
    if (x >= 0 && y >= 0 && x < depth.cols && y < depth.rows &&
      std::abs(depth.at<float>(y, x) - z) > kEdgeJump)
    {
      return true;
    }
  }
  return false;
}

}  // namespace

Eigen::Isometry3d lookAt(const Eigen::Vector3d & eye, const Eigen::Vector3d & target)
{
  const Eigen::Vector3d forward = (target - eye).normalized();
  const Eigen::Vector3d right = forward.cross(Eigen::Vector3d::UnitZ()).normalized();
  const Eigen::Vector3d down = forward.cross(right);
  Eigen::Isometry3d pose = Eigen::Isometry3d::Identity();
  pose.linear() << right, down, forward;
  pose.translation() = eye;
  return pose;
}

Eigen::Vector3d pixelRay(const PinholeCamera & camera, int u, int v, double & depthPerDistance)
{
  const Eigen::Vector3d ray((u - camera.cx) / camera.fx, (v - camera.cy) / camera.fy, 1.0);
  const double length = ray.norm();
  depthPerDistance = 1.0 / length;
  return ray / length;
}

DepthView renderView(const Scene & scene, const PinholeCamera & camera, const Eigen::Isometry3d & pose)
{
  DepthView view{cv::Mat::zeros(camera.height, camera.width, CV_32FC1),
    cv::Mat::zeros(camera.height, camera.width, CV_32FC1),
    cv::Mat::zeros(camera.height, camera.width, CV_32FC1)};
  #pragma omp parallel for schedule(dynamic, 8)
  for (int v = 0; v < camera.height; ++v) {
    for (int u = 0; u < camera.width; ++u) {
      double depthPerDistance = 0;
      const Eigen::Vector3d ray = pose.linear() * pixelRay(camera, u, v, depthPerDistance);
      if (std::optional<Hit> hit = scene.intersect(pose.translation(), ray)) {
        view.depth.at<float>(v, u) = static_cast<float>(hit->distance * depthPerDistance);
        view.incidence.at<float>(v, u) = static_cast<float>(std::abs(ray.dot(hit->normal)));
        view.albedo.at<float>(v, u) = static_cast<float>(hit->albedo);
      }
    }
  }
  return view;
}

cv::Mat sensorDepth(const DepthView & view, std::mt19937 & rng)
{
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  cv::Mat out = cv::Mat::zeros(view.depth.size(), CV_16UC1);
  for (int v = 0; v < view.depth.rows; ++v) {
    for (int u = 0; u < view.depth.cols; ++u) {
      const double z = view.depth.at<float>(v, u);
      const double c = view.incidence.at<float>(v, u);
      if (z <= 0 || c < kGrazingDrop) {
        continue;
      }
      if (c < kGrazingThin && uniform(rng) > (c - kGrazingDrop) / (kGrazingThin - kGrazingDrop)) {
        continue;
      }
      if (onEdge(view.depth, v, u) && uniform(rng) < kEdgeDropout) {
        continue;
      }
      const double millimetres = std::round((z + depthSigma(z) * gauss(rng)) * 1000.0);
      if (millimetres >= 1 && millimetres <= 65535) {
        out.at<std::uint16_t>(v, u) = static_cast<std::uint16_t>(millimetres);
      }
    }
  }
  return out;
}

}  // namespace bathroom_sim
