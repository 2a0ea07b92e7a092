// libFuzzer target: any depth image header and buffer, and any K, through the
// node's depth path: the checks, cv_bridge's conversion, back-projection and
// voxel thinning. A fault shows as a sanitizer report or a crash.
//
// Input layout: encoding selector (1 byte), is_bigendian (1), width, height,
// step (4 each, little-endian), fx, fy, cx, cy (8 each, doubles), then the
// pixel data.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string>

#include <cv_bridge/cv_bridge.h>
#include <opencv2/core.hpp>
#include <sensor_msgs/msg/image.hpp>

#include "arm_location/depth_cloud.hpp"
#include "arm_location/depth_frame_check.hpp"

namespace
{

template<typename T>
T take(const std::uint8_t *& data, std::size_t & size)
{
  T value{};
  if (size >= sizeof(T)) {
    std::memcpy(&value, data, sizeof(T));
    data += sizeof(T);
    size -= sizeof(T);
  }
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t * data, std::size_t size)
{
  static const char * const encodings[] = {"16UC1", "mono16", "32FC1", "8UC1", "bgr8", "64FC1", ""};
  sensor_msgs::msg::Image image;
  image.encoding = encodings[take<std::uint8_t>(data, size) % std::size(encodings)];
  image.is_bigendian = take<std::uint8_t>(data, size);
  image.width = take<std::uint32_t>(data, size);
  image.height = take<std::uint32_t>(data, size);
  image.step = take<std::uint32_t>(data, size);
  std::array<double, 9> k{};
  k[0] = take<double>(data, size);
  k[4] = take<double>(data, size);
  k[2] = take<double>(data, size);
  k[5] = take<double>(data, size);
  k[8] = 1.0;
  image.data.assign(data, data + size);

  if (!intrinsicsProblem(k).empty() || !depthFrameProblem(image).empty()) {
    return 0;
  }
  const cv::Mat cameraMatrix = (cv::Mat_<double>(3, 3) << k[0], k[1], k[2], k[3], k[4], k[5], k[6],
    k[7], k[8]);
  try {
    auto cloud = backProject(cv_bridge::toCvCopy(image, image.encoding)->image, cameraMatrix);
    voxelFilter(cloud);
  } catch (const std::exception &) {
    // the node answers a conversion that throws with status 5
  }
  return 0;
}
