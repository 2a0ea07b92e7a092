// bathroom_sensor_report <view> <file.png>: writes a picture of one of the
// benchmark views as the realistic simulation's sensor frames it, with its
// clutter, beside the clean simulation's frame from the same pose: depths
// above, errors against the ideal depth below.

#include <iostream>
#include <random>
#include <string>

#include <opencv2/imgcodecs.hpp>

#include "bathroom_sim/benchmark_views.hpp"
#include "bathroom_sim/fidelity.hpp"
#include "bathroom_sim/sensor_report.hpp"

namespace
{

const bathroom_sim::PinholeCamera kCamera{640, 480, 525.0, 525.0, 319.5, 239.5};

bathroom_sim::TitledFrame frame(
  bathroom_sim::Fidelity fidelity, const bathroom_sim::BenchmarkView & view,
  const bathroom_sim::Clutter & clutter, const std::string & title)
{
  const Eigen::Isometry3d pose = bathroom_sim::viewPose(view);
  const bathroom_sim::DepthView ideal = bathroom_sim::renderView(
    bathroom_sim::cameraScene(fidelity, view.state, clutter, pose), kCamera, pose);
  std::mt19937 rng(1);
  return {title, bathroom_sim::sensorFrame(fidelity, ideal, kCamera, rng), ideal.depth};
}

}  // namespace

int main(int argc, char ** argv)
{
  if (argc != 3) {
    std::cerr << "usage: bathroom_sensor_report <view> <file.png>" << std::endl;
    return 2;
  }
  for (const bathroom_sim::BenchmarkView & view : bathroom_sim::benchmarkViews()) {
    if (view.name != argv[1]) {
      continue;
    }
    const cv::Mat report = bathroom_sim::sensorReport(
      frame(bathroom_sim::Fidelity::Clean, view, {}, "clean"),
      frame(bathroom_sim::Fidelity::Realistic, view, view.clutter, "realistic"));
    if (!cv::imwrite(argv[2], report)) {
      std::cerr << "bathroom_sensor_report: cannot write " << argv[2] << std::endl;
      return 1;
    }
    return 0;
  }
  std::cerr << "bathroom_sensor_report: no view '" << argv[1] << "'; the views are:";
  for (const bathroom_sim::BenchmarkView & view : bathroom_sim::benchmarkViews()) {
    std::cerr << " " << view.name;
  }
  std::cerr << std::endl;
  return 1;
}
