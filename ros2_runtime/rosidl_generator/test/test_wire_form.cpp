// The bytes of a message on the wire, computed by hand from the CDR rules of
// Humble's default middleware: encapsulation {0x00, 0x01, 0x00, 0x00}, then
// fields aligned to their size counted from the first byte after it; strings
// as a uint32 length including the NUL, then the bytes and the NUL;
// sequences as a uint32 count, then the elements; fixed arrays bare;
// padding zero.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "geometry_msgs/msg/transform_stamped.hpp"
#include "rmw_dds_common/msg/participant_entities_info.hpp"
#include "sensor_msgs/msg/camera_info.hpp"
#include "sensor_msgs/msg/image.hpp"
#include "sensor_msgs/msg/point_field.hpp"
#include "std_msgs/msg/empty.hpp"
#include "std_msgs/msg/header.hpp"
#include "std_msgs/msg/string.hpp"

namespace
{

using Bytes = std::vector<uint8_t>;

// Serialized over stale contents, so that padding left unwritten shows.
template<typename T>
Bytes wire(const T & msg)
{
  using TS = rosidl_runtime_cpp::TypeSupport<T>;
  Bytes out(TS::serialized_size(msg), 0xff);
  TS::serialize(msg, out.data());
  return out;
}

void append_u32(Bytes & b, uint32_t v)
{
  for (int i = 0; i < 4; ++i) {
    b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
}

void append_f64(Bytes & b, double v)
{
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  for (int i = 0; i < 8; ++i) {
    b.push_back(static_cast<uint8_t>(bits >> (8 * i)));
  }
}

TEST(WireForm, StringCarriesItsLengthWithTheNul)
{
  std_msgs::msg::String s;
  s.data = "hi";
  EXPECT_EQ(wire(s), (Bytes{0, 1, 0, 0, 3, 0, 0, 0, 'h', 'i', 0}));
  s.data.clear();
  EXPECT_EQ(wire(s), (Bytes{0, 1, 0, 0, 1, 0, 0, 0, 0}));
}

TEST(WireForm, EmptyMessageIsOneDummyByte)
{
  EXPECT_EQ(wire(std_msgs::msg::Empty()), (Bytes{0, 1, 0, 0, 0}));
}

TEST(WireForm, NestedHeaderFollowsItsFieldsInOrder)
{
  std_msgs::msg::Header h;
  h.stamp.sec = 1;
  h.stamp.nanosec = 2;
  h.frame_id = "ab";
  EXPECT_EQ(wire(h), (Bytes{0, 1, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 0}));
}

TEST(WireForm, PadsEachFieldToItsOwnSize)
{
  sensor_msgs::msg::PointField f;
  f.name = "x";
  f.offset = 4;
  f.datatype = sensor_msgs::msg::PointField::FLOAT32;
  f.count = 1;
  EXPECT_EQ(wire(f), (Bytes{0, 1, 0, 0,
      2, 0, 0, 0, 'x', 0, 0, 0,
      4, 0, 0, 0,
      7, 0, 0, 0,
      1, 0, 0, 0}));
}

TEST(WireForm, AlignsDoublesFromTheEndOfTheEncapsulationHeader)
{
  geometry_msgs::msg::TransformStamped t;
  t.child_frame_id = "c";
  t.transform.translation.x = 1.0;
  t.transform.translation.y = 2.0;
  t.transform.translation.z = 3.0;
  Bytes expected{0, 1, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0,   // stamp
    1, 0, 0, 0, 0, 0, 0, 0,   // frame_id "" and padding to 16
    2, 0, 0, 0, 'c', 0, 0, 0};  // child_frame_id and padding to 24
  for (double v : {1.0, 2.0, 3.0, 0.0, 0.0, 0.0, 1.0}) {
    append_f64(expected, v);
  }
  EXPECT_EQ(wire(t), expected);
}

TEST(WireForm, ByteSequenceIsCountThenBytes)
{
  sensor_msgs::msg::Image image;
  image.height = 1;
  image.width = 3;
  image.encoding = "mono8";
  image.is_bigendian = 1;
  image.step = 3;
  image.data = {7, 8, 9};
  EXPECT_EQ(wire(image), (Bytes{0, 1, 0, 0,
      0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,  // header
      1, 0, 0, 0, 3, 0, 0, 0,
      6, 0, 0, 0, 'm', 'o', 'n', 'o', '8', 0, 1, 0,    // encoding, is_bigendian, padding
      3, 0, 0, 0,
      3, 0, 0, 0, 7, 8, 9}));
}

TEST(WireForm, FixedArraysHaveNoCountAndSequencesDo)
{
  rmw_dds_common::msg::ParticipantEntitiesInfo info;
  for (uint8_t i = 0; i < 24; ++i) {
    info.gid.data[i] = i;
  }
  rmw_dds_common::msg::NodeEntitiesInfo node;
  node.node_namespace = "/";
  node.node_name = "n";
  rmw_dds_common::msg::Gid writer;
  writer.data.fill(0xee);
  node.writer_gid_seq.push_back(writer);
  info.node_entities_info_seq.push_back(node);

  Bytes expected{0, 1, 0, 0};
  for (uint8_t i = 0; i < 24; ++i) {
    expected.push_back(i);
  }
  append_u32(expected, 1);
  expected.insert(expected.end(), {2, 0, 0, 0, '/', 0, 0, 0, 2, 0, 0, 0, 'n', 0, 0, 0});
  append_u32(expected, 0);
  append_u32(expected, 1);
  expected.insert(expected.end(), 24, 0xee);
  EXPECT_EQ(wire(info), expected);
}

TEST(WireForm, DoubleSequenceAfterAStringIsPaddedToEight)
{
  sensor_msgs::msg::CameraInfo info;
  info.distortion_model = "plumb_bob";
  info.d = {0.5};
  info.k[0] = 0.25;
  info.roi.do_rectify = true;
  const Bytes bytes = wire(info);
  ASSERT_EQ(bytes.size(), 4u + 321u);
  Bytes d_and_k;
  append_u32(d_and_k, 1);
  d_and_k.insert(d_and_k.end(), 4, 0);
  append_f64(d_and_k, 0.5);
  append_f64(d_and_k, 0.25);
  EXPECT_EQ(Bytes(bytes.begin() + 4 + 40, bytes.begin() + 4 + 64), d_and_k);
  EXPECT_EQ(bytes.back(), 1);
}

TEST(WireForm, ReadsBigEndianPayloads)
{
  const Bytes big{0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 'a', 'b', 0};
  std_msgs::msg::Header h;
  ASSERT_TRUE(rosidl_runtime_cpp::TypeSupport<std_msgs::msg::Header>::deserialize(
      big.data(), big.size(), h));
  EXPECT_EQ(h.stamp.sec, 1);
  EXPECT_EQ(h.stamp.nanosec, 2u);
  EXPECT_EQ(h.frame_id, "ab");
}

}  // namespace
