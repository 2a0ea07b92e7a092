// Every standard message comes back from its wire form equal to what was
// sent, with every field set to a value other than its default.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "builtin_interfaces/msg/duration.hpp"
#include "geometry_msgs/msg/pose_with_covariance_stamped.hpp"
#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rmw_dds_common/msg/participant_entities_info.hpp"
#include "sensor_msgs/msg/camera_info.hpp"
#include "sensor_msgs/msg/image.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "std_msgs/msg/empty.hpp"
#include "std_msgs/msg/string.hpp"
#include "tf2_msgs/msg/tf_message.hpp"

namespace
{

template<typename T>
T round_trip(const T & msg)
{
  using TS = rosidl_runtime_cpp::TypeSupport<T>;
  std::vector<uint8_t> wire(TS::serialized_size(msg));
  TS::serialize(msg, wire.data());
  T back;
  EXPECT_TRUE(TS::deserialize(wire.data(), wire.size(), back));
  return back;
}

std_msgs::msg::Header header(const char * frame)
{
  std_msgs::msg::Header h;
  h.stamp.sec = -17;
  h.stamp.nanosec = 999999999u;
  h.frame_id = frame;
  return h;
}

TEST(RoundTrip, BuiltinAndStdMessages)
{
  builtin_interfaces::msg::Duration d;
  d.sec = INT32_MIN;
  d.nanosec = 5;
  EXPECT_EQ(round_trip(d), d);

  std_msgs::msg::String s;
  s.data = "depth camera";
  EXPECT_EQ(round_trip(s), s);
  EXPECT_EQ(round_trip(std_msgs::msg::Empty()), std_msgs::msg::Empty());
  EXPECT_EQ(round_trip(header("camera_link")), header("camera_link"));
}

TEST(RoundTrip, SensorMessages)
{
  sensor_msgs::msg::Image image;
  image.header = header("camera_depth_optical_frame");
  image.height = 3;
  image.width = 5;
  image.encoding = "16UC1";
  image.is_bigendian = 1;
  image.step = 10;
  for (int i = 0; i < 30; ++i) {
    image.data.push_back(static_cast<uint8_t>(i * 7));
  }
  EXPECT_EQ(round_trip(image), image);

  sensor_msgs::msg::CameraInfo info;
  info.header = header("camera");
  info.height = 480;
  info.width = 640;
  info.distortion_model = "plumb_bob";
  info.d = {0.1, -0.2, 0.001, 0.002, 0.0};
  for (int i = 0; i < 9; ++i) {
    info.k[i] = i + 0.5;
    info.r[i] = -i;
  }
  for (int i = 0; i < 12; ++i) {
    info.p[i] = i * 3.25;
  }
  info.binning_x = 2;
  info.binning_y = 3;
  info.roi.x_offset = 1;
  info.roi.y_offset = 2;
  info.roi.height = 3;
  info.roi.width = 4;
  info.roi.do_rectify = true;
  EXPECT_EQ(round_trip(info), info);

  sensor_msgs::msg::PointCloud2 cloud;
  cloud.header = header("map");
  cloud.height = 1;
  cloud.width = 2;
  for (const char * name : {"x", "y", "z"}) {
    sensor_msgs::msg::PointField field;
    field.name = name;
    field.offset = 4 * static_cast<uint32_t>(cloud.fields.size());
    field.datatype = sensor_msgs::msg::PointField::FLOAT32;
    field.count = 1;
    cloud.fields.push_back(field);
  }
  cloud.is_bigendian = false;
  cloud.point_step = 12;
  cloud.row_step = 24;
  cloud.data.assign(24, 0xab);
  cloud.is_dense = true;
  EXPECT_EQ(round_trip(cloud), cloud);
}

TEST(RoundTrip, GeometryAndTransformMessages)
{
  geometry_msgs::msg::PoseWithCovarianceStamped pose;
  pose.header = header("base_link");
  pose.pose.pose.position.x = 1.5;
  pose.pose.pose.position.y = -2.5;
  pose.pose.pose.position.z = 3.25;
  pose.pose.pose.orientation.x = 0.5;
  pose.pose.pose.orientation.y = 0.5;
  pose.pose.pose.orientation.z = -0.5;
  pose.pose.pose.orientation.w = 0.5;
  for (int i = 0; i < 36; ++i) {
    pose.pose.covariance[i] = i * 0.01;
  }
  EXPECT_EQ(round_trip(pose), pose);

  tf2_msgs::msg::TFMessage tf;
  for (int i = 0; i < 3; ++i) {
    geometry_msgs::msg::TransformStamped t;
    t.header = header("world");
    t.child_frame_id = "link_" + std::to_string(i);
    t.transform.translation.x = i;
    t.transform.translation.y = 2.0 * i;
    t.transform.translation.z = -1.0;
    t.transform.rotation.z = 1.0;
    t.transform.rotation.w = 0.0;
    tf.transforms.push_back(t);
  }
  EXPECT_EQ(round_trip(tf), tf);
}

TEST(RoundTrip, GraphMessages)
{
  rmw_dds_common::msg::ParticipantEntitiesInfo info;
  for (int i = 0; i < 16; ++i) {
    info.gid.data[i] = static_cast<uint8_t>(i + 1);
  }
  for (int n = 0; n < 2; ++n) {
    rmw_dds_common::msg::NodeEntitiesInfo node;
    node.node_namespace = "/arm";
    node.node_name = "node_" + std::to_string(n);
    for (int r = 0; r <= n; ++r) {
      rmw_dds_common::msg::Gid gid;
      gid.data[0] = static_cast<uint8_t>(r + 10 * n);
      node.reader_gid_seq.push_back(gid);
      node.writer_gid_seq.push_back(gid);
      node.writer_gid_seq.push_back(gid);
    }
    info.node_entities_info_seq.push_back(node);
  }
  EXPECT_EQ(round_trip(info), info);
}

}  // namespace
