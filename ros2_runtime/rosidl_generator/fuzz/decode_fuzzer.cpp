// libFuzzer target: arbitrary bytes decoded as every standard message, the
// requests and replies of the parameter services every node serves, and the
// generator's test message, which holds every form of field. A
// decoder fault shows as a sanitizer report; a payload that decodes must
// encode to exactly serialized_size() bytes that decode and encode to the
// same bytes again.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "builtin_interfaces/msg/duration.hpp"
#include "builtin_interfaces/msg/time.hpp"
#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/pose.hpp"
#include "geometry_msgs/msg/pose_with_covariance.hpp"
#include "geometry_msgs/msg/pose_with_covariance_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "geometry_msgs/msg/transform.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "geometry_msgs/msg/vector3.hpp"
#include "rcl_interfaces/srv/describe_parameters.hpp"
#include "rcl_interfaces/srv/get_parameter_types.hpp"
#include "rcl_interfaces/srv/get_parameters.hpp"
#include "rcl_interfaces/srv/list_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters_atomically.hpp"
#include "rmw_dds_common/msg/gid.hpp"
#include "rmw_dds_common/msg/node_entities_info.hpp"
#include "rmw_dds_common/msg/participant_entities_info.hpp"
#include "rosidl_generator_test_msgs/msg/features.hpp"
#include "sensor_msgs/msg/camera_info.hpp"
#include "sensor_msgs/msg/image.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "sensor_msgs/msg/point_field.hpp"
#include "sensor_msgs/msg/region_of_interest.hpp"
#include "std_msgs/msg/empty.hpp"
#include "std_msgs/msg/header.hpp"
#include "std_msgs/msg/string.hpp"
#include "tf2_msgs/msg/tf_message.hpp"

namespace
{

// Encodes into buffers prefilled with two different patterns: a byte that
// serialize() leaves unwritten shows as a difference.
template<typename T>
std::vector<uint8_t> encode(const T & msg)
{
  using TS = rosidl_runtime_cpp::TypeSupport<T>;
  std::vector<uint8_t> zeros(TS::serialized_size(msg), 0x00);
  std::vector<uint8_t> ones(zeros.size(), 0xff);
  TS::serialize(msg, zeros.data());
  TS::serialize(msg, ones.data());
  if (zeros != ones) {
    __builtin_trap();
  }
  return zeros;
}

template<typename T>
void check(const uint8_t * data, std::size_t size)
{
  using TS = rosidl_runtime_cpp::TypeSupport<T>;
  // An exactly sized copy, so that reading one byte too far is reported.
  const std::vector<uint8_t> input(data, data + size);
  T msg;
  if (!TS::deserialize(input.data(), input.size(), msg)) {
    return;
  }
  const std::vector<uint8_t> once = encode(msg);
  T again;
  if (!TS::deserialize(once.data(), once.size(), again) || encode(again) != once) {
    __builtin_trap();
  }
}

template<typename ... T>
void check_all(const uint8_t * data, std::size_t size)
{
  (check<T>(data, size), ...);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t * data, std::size_t size)
{
  check_all<
    builtin_interfaces::msg::Time, builtin_interfaces::msg::Duration,
    std_msgs::msg::Header, std_msgs::msg::Empty, std_msgs::msg::String,
    sensor_msgs::msg::Image, sensor_msgs::msg::CameraInfo, sensor_msgs::msg::RegionOfInterest,
    sensor_msgs::msg::PointCloud2, sensor_msgs::msg::PointField,
    geometry_msgs::msg::Point, geometry_msgs::msg::Quaternion, geometry_msgs::msg::Pose,
    geometry_msgs::msg::PoseWithCovariance, geometry_msgs::msg::PoseWithCovarianceStamped,
    geometry_msgs::msg::Vector3, geometry_msgs::msg::Transform,
    geometry_msgs::msg::TransformStamped, tf2_msgs::msg::TFMessage,
    rmw_dds_common::msg::Gid, rmw_dds_common::msg::NodeEntitiesInfo,
    rmw_dds_common::msg::ParticipantEntitiesInfo,
    rcl_interfaces::srv::DescribeParameters::Request,
    rcl_interfaces::srv::DescribeParameters::Response,
    rcl_interfaces::srv::GetParameterTypes::Request,
    rcl_interfaces::srv::GetParameterTypes::Response,
    rcl_interfaces::srv::GetParameters::Request, rcl_interfaces::srv::GetParameters::Response,
    rcl_interfaces::srv::ListParameters::Request, rcl_interfaces::srv::ListParameters::Response,
    rcl_interfaces::srv::SetParameters::Request, rcl_interfaces::srv::SetParameters::Response,
    rcl_interfaces::srv::SetParametersAtomically::Request,
    rcl_interfaces::srv::SetParametersAtomically::Response,
    rosidl_generator_test_msgs::msg::Features>(data, size);
  return 0;
}
