// Generated structs have rosidl's C++ field types, constants, typedefs and
// initial values, so code written against Humble's headers compiles and
// behaves the same here.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "geometry_msgs/msg/pose_with_covariance_stamped.hpp"
#include "geometry_msgs/msg/quaternion.hpp"
#include "rmw_dds_common/msg/participant_entities_info.hpp"
#include "rosidl_runtime_cpp/bounded_vector.hpp"
#include "sensor_msgs/msg/camera_info.hpp"
#include "sensor_msgs/msg/image.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "std_msgs/msg/empty.hpp"
#include "tf2_msgs/msg/tf_message.hpp"

namespace
{

template<typename A, typename B>
constexpr bool same = std::is_same_v<A, B>;

using sensor_msgs::msg::CameraInfo;
using sensor_msgs::msg::Image;
using sensor_msgs::msg::PointCloud2;
using sensor_msgs::msg::PointField;

static_assert(same<Image, sensor_msgs::msg::Image_<std::allocator<void>>>);
static_assert(same<decltype(Image::header), std_msgs::msg::Header>);
static_assert(same<decltype(Image::header.stamp), builtin_interfaces::msg::Time>);
static_assert(same<decltype(Image::header.stamp.sec), int32_t>);
static_assert(same<decltype(Image::header.stamp.nanosec), uint32_t>);
static_assert(same<decltype(Image::height), uint32_t>);
static_assert(same<decltype(Image::encoding), std::string>);
static_assert(same<decltype(Image::is_bigendian), uint8_t>);
static_assert(same<decltype(Image::data), std::vector<uint8_t>>);
static_assert(same<Image::_data_type, std::vector<uint8_t>>);
static_assert(same<Image::SharedPtr, std::shared_ptr<Image>>);
static_assert(same<Image::ConstSharedPtr, std::shared_ptr<const Image>>);
static_assert(same<Image::UniquePtr, std::unique_ptr<Image>>);

static_assert(same<decltype(CameraInfo::d), std::vector<double>>);
static_assert(same<decltype(CameraInfo::k), std::array<double, 9>>);
static_assert(same<decltype(CameraInfo::p), std::array<double, 12>>);
static_assert(same<decltype(CameraInfo::roi), sensor_msgs::msg::RegionOfInterest>);
static_assert(same<decltype(CameraInfo::roi.do_rectify), bool>);

static_assert(same<decltype(PointCloud2::fields), std::vector<PointField>>);
static_assert(same<decltype(PointCloud2::is_dense), bool>);
static_assert(same<decltype(PointField::INT8), const uint8_t>);
static_assert(PointField::INT8 == 1 && PointField::UINT8 == 2 && PointField::INT16 == 3 &&
  PointField::UINT16 == 4 && PointField::INT32 == 5 && PointField::UINT32 == 6 &&
  PointField::FLOAT32 == 7 && PointField::FLOAT64 == 8);

static_assert(same<decltype(geometry_msgs::msg::PoseWithCovarianceStamped::pose.covariance),
  std::array<double, 36>>);
static_assert(same<decltype(geometry_msgs::msg::PoseWithCovarianceStamped::pose.pose.position.x),
  double>);
static_assert(same<decltype(tf2_msgs::msg::TFMessage::transforms),
  std::vector<geometry_msgs::msg::TransformStamped>>);
static_assert(same<decltype(std_msgs::msg::Empty::structure_needs_at_least_one_member), uint8_t>);

static_assert(same<decltype(rmw_dds_common::msg::Gid::data), std::array<uint8_t, 24>>);
static_assert(same<decltype(rmw_dds_common::msg::NodeEntitiesInfo::node_name), std::string>);
static_assert(same<decltype(rmw_dds_common::msg::NodeEntitiesInfo::writer_gid_seq),
  std::vector<rmw_dds_common::msg::Gid>>);

static_assert(rosidl_generator_traits::is_message<Image>::value);
static_assert(!rosidl_generator_traits::has_fixed_size<Image>::value);
static_assert(rosidl_generator_traits::has_fixed_size<geometry_msgs::msg::Pose>::value);
static_assert(rosidl_generator_traits::has_bounded_size<rmw_dds_common::msg::Gid>::value);
static_assert(!rosidl_generator_traits::has_bounded_size<rmw_dds_common::msg::NodeEntitiesInfo>::value);

TEST(StructLayout, DefaultsAreZerosAndTheDefinitionsDefaults)
{
  const Image image;
  EXPECT_EQ(image.header.stamp.sec, 0);
  EXPECT_EQ(image.height, 0u);
  EXPECT_EQ(image.is_bigendian, 0);
  EXPECT_TRUE(image.encoding.empty());
  EXPECT_TRUE(image.data.empty());

  const geometry_msgs::msg::PoseWithCovarianceStamped pose;
  EXPECT_EQ(pose.pose.pose.position.x, 0.0);
  EXPECT_EQ(pose.pose.pose.orientation.x, 0.0);
  EXPECT_EQ(pose.pose.pose.orientation.w, 1.0);
  for (double c : pose.pose.covariance) {
    EXPECT_EQ(c, 0.0);
  }
  const CameraInfo info;
  for (double k : info.k) {
    EXPECT_EQ(k, 0.0);
  }
  EXPECT_FALSE(info.roi.do_rectify);
}

TEST(StructLayout, InitializationModesPickZerosOrDefaults)
{
  const geometry_msgs::msg::Quaternion zero(rosidl_runtime_cpp::MessageInitialization::ZERO);
  EXPECT_EQ(zero.w, 0.0);
  const geometry_msgs::msg::Quaternion defaults(
    rosidl_runtime_cpp::MessageInitialization::DEFAULTS_ONLY);
  EXPECT_EQ(defaults.w, 1.0);
  const geometry_msgs::msg::Pose pose(std::allocator<void>{},
    rosidl_runtime_cpp::MessageInitialization::ZERO);
  EXPECT_EQ(pose.orientation.w, 0.0);
}

TEST(StructLayout, ComparesFieldByField)
{
  Image a;
  Image b;
  EXPECT_EQ(a, b);
  b.data.push_back(1);
  EXPECT_NE(a, b);
  a.set__data(b.data);
  EXPECT_EQ(a, b);
}

TEST(StructLayout, NamesTypesAsRosAndDdsDo)
{
  using TS = rosidl_runtime_cpp::TypeSupport<Image>;
  EXPECT_STREQ(TS::type_name, "sensor_msgs/msg/Image");
  EXPECT_STREQ(TS::dds_type_name, "sensor_msgs::msg::dds_::Image_");
  EXPECT_STREQ(rosidl_generator_traits::name<CameraInfo>(), "sensor_msgs/msg/CameraInfo");
  EXPECT_STREQ(rosidl_generator_traits::data_type<CameraInfo>(), "sensor_msgs::msg::CameraInfo");
  EXPECT_STREQ(rosidl_runtime_cpp::TypeSupport<rmw_dds_common::msg::ParticipantEntitiesInfo>::dds_type_name,
    "rmw_dds_common::msg::dds_::ParticipantEntitiesInfo_");
}

TEST(StructLayout, BoundedVectorRefusesToGrowPastItsBound)
{
  rosidl_runtime_cpp::BoundedVector<int, 2> v;
  v.push_back(1);
  v.emplace_back(2);
  EXPECT_THROW(v.push_back(3), std::length_error);
  EXPECT_THROW(v.resize(3), std::length_error);
  EXPECT_EQ(v.size(), 2u);
}

}  // namespace
