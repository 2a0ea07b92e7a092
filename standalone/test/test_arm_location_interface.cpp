// The location service's messages as the node and its clients see them:
// the fields in their order and types, the reply a fresh response holds, the
// names a ROS 2 graph shows and the bytes on the wire.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "brisvane_protocol/srv/arm_location.hpp"

namespace
{

using brisvane_protocol::srv::ArmLocation;
using Request = ArmLocation::Request;
using Response = ArmLocation::Response;

static_assert(std::is_same_v<Request, brisvane_protocol::srv::ArmLocation_Request>);
static_assert(std::is_same_v<Response, brisvane_protocol::srv::ArmLocation_Response>);
static_assert(std::is_same_v<decltype(Request::reserved), std::string>);
static_assert(std::is_same_v<decltype(Request::pcd_type), std::string>);
static_assert(std::is_same_v<decltype(Response::status), int32_t>);
static_assert(std::is_same_v<decltype(Response::message), std::string>);
static_assert(std::is_same_v<decltype(Response::pose),
  geometry_msgs::msg::PoseWithCovarianceStamped>);
static_assert(rosidl_generator_traits::is_service<ArmLocation>::value);

template<typename T>
std::vector<uint8_t> wire(const T & msg)
{
  using TS = rosidl_runtime_cpp::TypeSupport<T>;
  std::vector<uint8_t> out(TS::serialized_size(msg));
  TS::serialize(msg, out.data());
  return out;
}

TEST(ArmLocationInterface, FreshResponseHoldsTheDefaultPose)
{
  const Response response;
  EXPECT_EQ(response.status, 0);
  EXPECT_TRUE(response.message.empty());
  EXPECT_EQ(response.pose.header.stamp.sec, 0);
  EXPECT_EQ(response.pose.header.stamp.nanosec, 0u);
  EXPECT_TRUE(response.pose.header.frame_id.empty());
  const auto & pose = response.pose.pose.pose;
  EXPECT_EQ(pose.position.x, 0.0);
  EXPECT_EQ(pose.position.y, 0.0);
  EXPECT_EQ(pose.position.z, 0.0);
  EXPECT_EQ(pose.orientation.x, 0.0);
  EXPECT_EQ(pose.orientation.y, 0.0);
  EXPECT_EQ(pose.orientation.z, 0.0);
  EXPECT_EQ(pose.orientation.w, 1.0);
  for (double c : response.pose.pose.covariance) {
    EXPECT_EQ(c, 0.0);
  }
}

TEST(ArmLocationInterface, NamesTheTypesAsRos2Does)
{
  EXPECT_STREQ(rosidl_runtime_cpp::ServiceTypeSupport<ArmLocation>::type_name,
    "brisvane_protocol/srv/ArmLocation");
  EXPECT_STREQ(rosidl_generator_traits::name<ArmLocation>(), "brisvane_protocol/srv/ArmLocation");
  EXPECT_STREQ(rosidl_runtime_cpp::TypeSupport<Request>::type_name,
    "brisvane_protocol/srv/ArmLocation_Request");
  EXPECT_STREQ(rosidl_runtime_cpp::TypeSupport<Request>::dds_type_name,
    "brisvane_protocol::srv::dds_::ArmLocation_Request_");
  EXPECT_STREQ(rosidl_runtime_cpp::TypeSupport<Response>::dds_type_name,
    "brisvane_protocol::srv::dds_::ArmLocation_Response_");
}

TEST(ArmLocationInterface, RequestCarriesReservedThenPcdType)
{
  Request request;
  request.pcd_type = "all_open";
  EXPECT_EQ(wire(request), (std::vector<uint8_t>{0, 1, 0, 0,
      1, 0, 0, 0, 0, 0, 0, 0,
      9, 0, 0, 0, 'a', 'l', 'l', '_', 'o', 'p', 'e', 'n', 0}));
}

TEST(ArmLocationInterface, ResponseCarriesStatusMessageThenPose)
{
  Response response;
  response.status = 3;
  response.pose.pose.pose.position.y = -0.5;
  const std::vector<uint8_t> bytes = wire(response);
  // status, message "", stamp, frame_id "", then the pose's doubles from 32.
  ASSERT_EQ(bytes.size(), 4u + 376u);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 13),
    (std::vector<uint8_t>{3, 0, 0, 0, 1, 0, 0, 0, 0}));
  double y;
  double w;
  std::memcpy(&y, &bytes[4 + 40], 8);
  std::memcpy(&w, &bytes[4 + 80], 8);
  EXPECT_EQ(y, -0.5);
  EXPECT_EQ(w, 1.0);

  Response back;
  ASSERT_TRUE(rosidl_runtime_cpp::TypeSupport<Response>::deserialize(
      bytes.data(), bytes.size(), back));
  EXPECT_EQ(back, response);
}

}  // namespace
