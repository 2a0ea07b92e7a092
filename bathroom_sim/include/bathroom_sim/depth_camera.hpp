#ifndef BATHROOM_SIM__DEPTH_CAMERA_HPP_
#define BATHROOM_SIM__DEPTH_CAMERA_HPP_

#include <random>

#include <Eigen/Geometry>
#include <opencv2/core.hpp>

#include "bathroom_sim/bathroom_scene.hpp"

namespace bathroom_sim
{

struct PinholeCamera
{
  int width;
  int height;
  double fx;
  double fy;
  double cx;
  double cy;
};

// Pose of a camera optical frame (x right, y down, z forward) at eye looking
// at target, with the scene's z up.
Eigen::Isometry3d lookAt(const Eigen::Vector3d & eye, const Eigen::Vector3d & target);

// Unit ray through the centre of pixel (u, v), in the camera frame, and the
// z-depth per unit of distance along it.
Eigen::Vector3d pixelRay(const PinholeCamera & camera, int u, int v, double & depthPerDistance);

// What an ideal camera sees: z-depth in metres (0: no surface), the cosine
// between each ray and the surface it meets, and that surface's albedo,
// CV_32FC1 each.
struct DepthView
{
  cv::Mat depth;
  cv::Mat incidence;
  cv::Mat albedo;
};

DepthView renderView(const Scene & scene, const PinholeCamera & camera, const Eigen::Isometry3d & pose);

// The ideal view as a structured-light depth sensor delivers it: CV_16UC1 in
// millimetres, 0 where there is no return. Noise grows with the square of the
// distance, values are quantised to 1 mm, and returns drop out at grazing
// angles and on depth edges.
cv::Mat sensorDepth(const DepthView & view, std::mt19937 & rng);

}  // namespace bathroom_sim

#endif  // BATHROOM_SIM__DEPTH_CAMERA_HPP_
