#ifndef BATHROOM_SIM__STRUCTURED_LIGHT_HPP_
#define BATHROOM_SIM__STRUCTURED_LIGHT_HPP_

#include <random>

#include <opencv2/core.hpp>

#include "bathroom_sim/depth_camera.hpp"

namespace bathroom_sim
{

// The nearest and farthest depths the sensor measures, in metres.
constexpr double kNearestDepth = 0.4;
constexpr double kFarthestDepth = 4.0;

// The ideal view as a Kinect-class structured-light sensor delivers it:
// CV_16UC1 in millimetres, 0 where there is no return.
// - Depth is triangulated from the disparity against a projector 7.5 cm to
//   the camera's right, measured in steps of 1/8 pixel, so both the depth
//   steps and the noise grow with the square of the depth.
// - The disparity error is correlated over the matching window and has a
//   slowly varying, blotchy part.
// - Pixels straddling a depth edge return a depth between the two surfaces,
//   or none.
// - There is no return where the projector's pattern does not reach (its
//   shadow beside nearer surfaces, near surfaces at the image's left edge),
//   on dark surfaces, at grazing angles and outside the measured depths;
//   such losses come in patches, as the matching fails over a window, and
//   a few patches are lost even on bright surfaces facing the sensor.
// The same generator state gives the same frame.
cv::Mat structuredLightDepth(const DepthView & view, const PinholeCamera & camera, std::mt19937 & rng);

}  // namespace bathroom_sim

#endif  // BATHROOM_SIM__STRUCTURED_LIGHT_HPP_
