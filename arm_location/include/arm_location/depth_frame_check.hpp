#ifndef ARM_LOCATION__DEPTH_FRAME_CHECK_HPP_
#define ARM_LOCATION__DEPTH_FRAME_CHECK_HPP_

#include <array>
#include <string>

#include <sensor_msgs/msg/image.hpp>

// What a camera driver sends is checked before any of it is read: an image
// whose header disagrees with its buffer, or a K that places every point at
// the camera, must not become points. Each returns the reason the input
// cannot be used, or an empty string when it can.

// A depth image: 16UC1 or mono16 in millimetres or 32FC1 in metres, with a
// step that holds a row and data that hold every row.
std::string depthFrameProblem(const sensor_msgs::msg::Image & image);

// A CameraInfo's K: finite, with positive focal lengths.
std::string intrinsicsProblem(const std::array<double, 9> & k);

#endif  // ARM_LOCATION__DEPTH_FRAME_CHECK_HPP_
