// A request of the node as the simulated bathroom poses it, in process: a
// view's camera cloud made by the node's own steps and placed by the true
// pose, the state's map thinned as the node thins it, the engine configured
// as the node configures it, TF errors to start from, and the request itself.
#ifndef ARM_LOCATION__TEST__BATHROOM_REQUESTS_HPP_
#define ARM_LOCATION__TEST__BATHROOM_REQUESTS_HPP_

#include <chrono>
#include <random>

#include <Eigen/Geometry>
#include <opencv2/core.hpp>
#include <pcl/common/transforms.h>

#include "arm_location/depth_cloud.hpp"
#include "bathroom_sim/benchmark_views.hpp"
#include "bathroom_sim/depth_camera.hpp"
#include "bathroom_sim/fidelity.hpp"
#include "bathroom_sim/mapping_run.hpp"
#include "bathroom_sim/scene_map.hpp"
#include "nano_gicp/nano_gicp.hpp"

namespace bathroom_requests
{

using Cloud = pcl::PointCloud<pcl::PointXYZI>;
using Engine = nano_gicp::NanoGICP<pcl::PointXYZI, pcl::PointXYZI>;

inline const bathroom_sim::PinholeCamera kCamera{640, 480, 525.0, 525.0, 319.5, 239.5};

// The node's engine settings; threads 0 is the node's own.
inline void configure(Engine & engine, int threads)
{
  engine.setNumThreads(threads);
  engine.setRegularizationMethod(nano_gicp::RegularizationMethod::PLANE);
  engine.setCorrespondenceRandomness(10);
  engine.setMaximumIterations(100);
  engine.setRANSACIterations(100);
  engine.setMaxCorrespondenceDistance(1.2);
  engine.setTransformationEpsilon(1e-8);
  engine.setEuclideanFitnessEpsilon(1e-8);
  engine.setRANSACOutlierRejectionThreshold(0.05);
}

// A rigid error of exactly `metres` and `degrees`, in a random direction and
// about a random axis, as a TF that is off by it.
inline Eigen::Isometry3d randomError(std::mt19937 & rng, double metres, double degrees)
{
  std::normal_distribution<double> gauss;
  auto unit = [&] {return Eigen::Vector3d(gauss(rng), gauss(rng), gauss(rng)).normalized();};
  Eigen::Isometry3d error = Eigen::Isometry3d::Identity();
  error.translation() = metres * unit();
  error.linear() = Eigen::AngleAxisd(degrees * M_PI / 180.0, unit()).toRotationMatrix();
  return error;
}

// The view's camera cloud as the node makes it, placed in the scene frame by
// the true pose.
inline Cloud::Ptr cameraCloud(
  const bathroom_sim::BenchmarkView & view, bathroom_sim::Fidelity fidelity)
{
  const Eigen::Isometry3d pose = bathroom_sim::viewPose(view);
  const bathroom_sim::DepthView ideal = bathroom_sim::renderView(
    bathroom_sim::cameraScene(fidelity, view.state, view.clutter, pose), kCamera, pose);
  std::mt19937 rng(7);
  const cv::Mat depth = bathroom_sim::sensorFrame(fidelity, ideal, kCamera, rng);
  const cv::Mat k = (cv::Mat_<double>(3, 3) << kCamera.fx, 0, kCamera.cx, 0, kCamera.fy,
    kCamera.cy, 0, 0, 1);
  Cloud::Ptr cloud = backProject(depth, k);
  voxelFilter(cloud);
  pcl::transformPointCloud(*cloud, *cloud, pose.matrix().cast<float>());
  return cloud;
}

// The state's map, fused from a mapping run in the realistic scene or built
// from the clean one, thinned as the node thins a map.
inline Cloud::Ptr stateMap(bathroom_sim::SceneState state, bathroom_sim::Fidelity fidelity)
{
  Cloud::Ptr map = fidelity == bathroom_sim::Fidelity::Realistic ?
    bathroom_sim::fusedMap(state) : bathroom_sim::buildMap(bathroom_sim::Scene(state));
  voxelFilter(map);
  return map;
}

struct Outcome
{
  Eigen::Isometry3d pose;  // the camera pose the answer implies
  int iterations;
  double seconds;
  double fitness;
  double inliers;
};

// One request as the node makes it: the TF off by `error`, then the engine.
inline Outcome locate(
  Engine & engine, const Cloud & inPlace,
  const Cloud::Ptr & map, const Eigen::Isometry3d & truth, const Eigen::Isometry3d & error)
{
  Cloud::Ptr placed(new Cloud);
  pcl::transformPointCloud(inPlace, *placed, error.matrix().cast<float>());
  const auto start = std::chrono::steady_clock::now();
  engine.setInputSource(placed);
  engine.calculateSourceCovariances();
  engine.setInputTarget(map);
  engine.calculateTargetCovariances();
  Cloud aligned;
  engine.align(aligned, Eigen::Matrix4f::Identity());
  const double seconds =
    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const Eigen::Isometry3d correction(engine.getFinalTransformation().cast<double>());
  return {correction * error * truth, engine.getIterations(), seconds, engine.getFitnessScore(),
    engine.getInlierFraction(0.015)};
}

inline double angleDeg(const Eigen::Matrix3d & a, const Eigen::Matrix3d & b)
{
  return Eigen::AngleAxisd(a.transpose() * b).angle() * 180.0 / M_PI;
}

}  // namespace bathroom_requests

#endif  // ARM_LOCATION__TEST__BATHROOM_REQUESTS_HPP_
