// Serializes a depth image and the package's own message and reads them back.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "depth_user/msg/depth_stats.hpp"
#include "sensor_msgs/image_encodings.hpp"
#include "sensor_msgs/msg/image.hpp"

template<typename T>
bool round_trips(const T & msg)
{
  using TS = rosidl_runtime_cpp::TypeSupport<T>;
  std::vector<uint8_t> wire(TS::serialized_size(msg));
  TS::serialize(msg, wire.data());
  T back;
  return wire[1] == 1 && TS::deserialize(wire.data(), wire.size(), back) && back == msg;
}

int main()
{
  sensor_msgs::msg::Image image;
  image.header.frame_id = "camera_depth_optical_frame";
  image.height = 2;
  image.width = 4;
  image.encoding = sensor_msgs::image_encodings::TYPE_16UC1;
  image.step = image.width * sensor_msgs::image_encodings::bitDepth(image.encoding) / 8;
  image.data.assign(16, 0x12);

  depth_user::msg::DepthStats stats;
  stats.header = image.header;
  stats.valid_pixels = 8;
  stats.mean_depth = 1.25f;

  if (!round_trips(image) || !round_trips(stats)) {
    std::puts("round trip failed");
    return 1;
  }
  std::printf("%s and %s round trip\n", rosidl_generator_traits::name<sensor_msgs::msg::Image>(),
    rosidl_generator_traits::name<depth_user::msg::DepthStats>());
  return 0;
}
