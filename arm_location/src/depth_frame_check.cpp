#include "arm_location/depth_frame_check.hpp"

#include <cmath>
#include <cstdint>

#include <sensor_msgs/image_encodings.hpp>

std::string depthFrameProblem(const sensor_msgs::msg::Image & image)
{
  namespace enc = sensor_msgs::image_encodings;
  std::size_t pixelBytes = 0;
  if (image.encoding == enc::TYPE_16UC1 || image.encoding == enc::MONO16) {
    pixelBytes = 2;
  } else if (image.encoding == enc::TYPE_32FC1) {
    pixelBytes = 4;
  } else {
    return "unsupported depth encoding '" + image.encoding + "'";
  }
  if (static_cast<std::uint64_t>(image.step) < static_cast<std::uint64_t>(image.width) * pixelBytes) {
    return "step " + std::to_string(image.step) + " is too small for width " +
           std::to_string(image.width);
  }
  if (image.data.size() < static_cast<std::uint64_t>(image.step) * image.height) {
    return "data of " + std::to_string(image.data.size()) + " bytes is shorter than step x height";
  }
  return {};
}

std::string intrinsicsProblem(const std::array<double, 9> & k)
{
  const double fx = k[0], fy = k[4], cx = k[2], cy = k[5];
  if (!std::isfinite(fx) || !std::isfinite(fy) || !std::isfinite(cx) || !std::isfinite(cy)) {
    return "K has a non-finite focal length or principal point";
  }
  if (fx <= 0.0 || fy <= 0.0) {
    // all zero is what a driver without calibration publishes
    return "K has focal lengths fx " + std::to_string(fx) + " and fy " + std::to_string(fy) +
           ", not both positive (is the camera calibrated?)";
  }
  return {};
}

