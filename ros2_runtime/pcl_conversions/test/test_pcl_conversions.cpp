// PointCloud2 messages against PCL's own serialisation, and the stamp and
// header conversions.

#include <gtest/gtest.h>

#include <pcl/point_types.h>

#include <cstdint>
#include <cstring>

#include "pcl_conversions/pcl_conversions.h"

namespace
{

pcl::PointCloud<pcl::PointXYZI> organisedCloud()
{
  pcl::PointCloud<pcl::PointXYZI> cloud(3, 2);
  for (std::size_t i = 0; i < cloud.size(); ++i) {
    cloud[i].x = 0.5f * i;
    cloud[i].y = -1.25f * i;
    cloud[i].z = 65.535f - i;
    cloud[i].intensity = 10.0f + i;
  }
  cloud.is_dense = false;
  cloud.header.frame_id = "arm_base_link";
  cloud.header.stamp = 1700000000123456ull;  // microseconds
  return cloud;
}

void expectSameCloud(const pcl::PCLPointCloud2 & pcl_pc2, const sensor_msgs::msg::PointCloud2 & msg)
{
  EXPECT_EQ(msg.header.frame_id, pcl_pc2.header.frame_id);
  EXPECT_EQ(msg.height, pcl_pc2.height);
  EXPECT_EQ(msg.width, pcl_pc2.width);
  EXPECT_EQ(msg.is_bigendian, pcl_pc2.is_bigendian);
  EXPECT_EQ(msg.point_step, pcl_pc2.point_step);
  EXPECT_EQ(msg.row_step, pcl_pc2.row_step);
  EXPECT_EQ(msg.is_dense, static_cast<bool>(pcl_pc2.is_dense));
  ASSERT_EQ(msg.fields.size(), pcl_pc2.fields.size());
  for (std::size_t i = 0; i < msg.fields.size(); ++i) {
    EXPECT_EQ(msg.fields[i].name, pcl_pc2.fields[i].name);
    EXPECT_EQ(msg.fields[i].offset, pcl_pc2.fields[i].offset);
    EXPECT_EQ(msg.fields[i].datatype, pcl_pc2.fields[i].datatype);
    EXPECT_EQ(msg.fields[i].count, pcl_pc2.fields[i].count);
  }
  EXPECT_EQ(msg.data, pcl_pc2.data);
}

TEST(PointCloud2, ToRosMsgMatchesPclsOwnSerialisation)
{
  const auto cloud = organisedCloud();
  pcl::PCLPointCloud2 reference;
  pcl::toPCLPointCloud2(cloud, reference);

  sensor_msgs::msg::PointCloud2 msg;
  pcl::toROSMsg(cloud, msg);
  expectSameCloud(reference, msg);
  EXPECT_EQ(msg.header.stamp.sec, 1700000000);
  EXPECT_EQ(msg.header.stamp.nanosec, 123456000u);

  // x, y, z, intensity as float32, read back from the message's bytes.
  EXPECT_EQ(pcl::getFieldsList(msg), "x y z intensity");
  const int intensity = pcl::getFieldIndex(msg, "intensity");
  ASSERT_GE(intensity, 0);
  EXPECT_EQ(msg.fields[intensity].datatype, sensor_msgs::msg::PointField::FLOAT32);
  float value;
  std::memcpy(&value, &msg.data[4 * msg.point_step + msg.fields[intensity].offset], sizeof(value));
  EXPECT_EQ(value, 14.0f);
  EXPECT_EQ(pcl::getFieldIndex(msg, "rgb"), -1);
}

TEST(PointCloud2, RoundTripsThroughTheMessage)
{
  const auto cloud = organisedCloud();
  sensor_msgs::msg::PointCloud2 msg;
  pcl::toROSMsg(cloud, msg);

  pcl::PointCloud<pcl::PointXYZI> back;
  pcl::fromROSMsg(msg, back);
  EXPECT_EQ(back.width, 3u);
  EXPECT_EQ(back.height, 2u);
  EXPECT_EQ(back.is_dense, false);
  EXPECT_EQ(back.header.frame_id, "arm_base_link");
  EXPECT_EQ(back.header.stamp, cloud.header.stamp);
  ASSERT_EQ(back.size(), cloud.size());
  for (std::size_t i = 0; i < cloud.size(); ++i) {
    EXPECT_EQ(back[i].x, cloud[i].x);
    EXPECT_EQ(back[i].y, cloud[i].y);
    EXPECT_EQ(back[i].z, cloud[i].z);
    EXPECT_EQ(back[i].intensity, cloud[i].intensity);
  }

  pcl::PointCloud<pcl::PointXYZI> moved;
  pcl::moveFromROSMsg(msg, moved);
  EXPECT_EQ(moved.size(), cloud.size());
  EXPECT_EQ(moved[5].z, cloud[5].z);
}

TEST(PointCloud2, ReadsOnlyTheFieldsTheMessageCarries)
{
  pcl::PointCloud<pcl::PointXYZRGB> coloured;
  pcl::PointXYZRGB point;
  point.x = 4.0f;
  point.r = 200;
  coloured.push_back(point);
  sensor_msgs::msg::PointCloud2 msg;
  pcl::toROSMsg(coloured, msg);
  pcl::PCLPointCloud2 reference;
  pcl::toPCLPointCloud2(coloured, reference);
  expectSameCloud(reference, msg);

  pcl::PointCloud<pcl::PointXYZ> plain;
  pcl::fromROSMsg(msg, plain);
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(plain[0].x, 4.0f);
}

TEST(PointCloud2, PclCloud2ConvertsBothWays)
{
  pcl::PCLPointCloud2 pcl_pc2;
  pcl::toPCLPointCloud2(organisedCloud(), pcl_pc2);
  sensor_msgs::msg::PointCloud2 msg;
  pcl_conversions::fromPCL(pcl_pc2, msg);
  expectSameCloud(pcl_pc2, msg);

  pcl::PCLPointCloud2 back;
  pcl_conversions::toPCL(msg, back);
  expectSameCloud(back, msg);
  EXPECT_EQ(back.header.stamp, pcl_pc2.header.stamp);
}

TEST(Header, StampsAreMicrosecondsInPcl)
{
  std_msgs::msg::Header header;
  header.frame_id = "cam";
  header.stamp.sec = 12;
  header.stamp.nanosec = 345678999;  // the last 999 ns do not survive
  const pcl::PCLHeader pcl_header = pcl_conversions::toPCL(header);
  EXPECT_EQ(pcl_header.stamp, 12345678ull);
  EXPECT_EQ(pcl_header.seq, 0u);
  EXPECT_EQ(pcl_header.frame_id, "cam");

  const std_msgs::msg::Header back = pcl_conversions::fromPCL(pcl_header);
  EXPECT_EQ(back.stamp.sec, 12);
  EXPECT_EQ(back.stamp.nanosec, 345678000u);
  EXPECT_EQ(back.frame_id, "cam");
}

TEST(Header, PclStampsConvertToAndFromRclcppTime)
{
  const rclcpp::Time time = pcl_conversions::fromPCL(1700000000123456ull);
  EXPECT_EQ(time.nanoseconds(), 1700000000123456000ll);
  EXPECT_EQ(pcl_conversions::toPCL(rclcpp::Time(1700000000123456789ll)), 1700000000123456ull);
}

TEST(Image, CopiesAndMovesPixels)
{
  pcl::PCLImage pcl_image;
  pcl_image.height = 1;
  pcl_image.width = 2;
  pcl_image.step = 4;
  pcl_image.encoding = "mono16";
  pcl_image.is_bigendian = 1;
  pcl_image.data = {1, 2, 3, 4};
  sensor_msgs::msg::Image image;
  pcl_conversions::fromPCL(pcl_image, image);
  EXPECT_EQ(image.encoding, "mono16");
  EXPECT_EQ(image.is_bigendian, 1);
  EXPECT_EQ(image.step, 4u);
  EXPECT_EQ(image.data, pcl_image.data);

  pcl::PCLImage back;
  pcl_conversions::moveToPCL(image, back);
  EXPECT_EQ(back.data, pcl_image.data);
  EXPECT_TRUE(image.data.empty());
}

}  // namespace
