#ifndef PCL_CONVERSIONS__PCL_CONVERSIONS_H_
#define PCL_CONVERSIONS__PCL_CONVERSIONS_H_

#include <pcl/conversions.h>
#include <pcl/PCLHeader.h>
#include <pcl/PCLImage.h>
#include <pcl/PCLPointCloud2.h>
#include <pcl/PCLPointField.h>
#include <pcl/point_cloud.h>

#include <cstdint>
#include <string>
#include <vector>

#include "rclcpp/time.hpp"
#include "sensor_msgs/msg/image.hpp"
#include "sensor_msgs/msg/point_cloud2.hpp"
#include "sensor_msgs/msg/point_field.hpp"
#include "std_msgs/msg/header.hpp"

// Between PCL's message-like types and their ROS messages. PCL stamps are
// microseconds, ROS stamps seconds and nanoseconds; going to PCL drops the
// sub-microsecond part.
namespace pcl_conversions
{

/** PCL stamp <=> rclcpp::Time **/

inline
void fromPCL(const std::uint64_t & pcl_stamp, rclcpp::Time & stamp)
{
  stamp = rclcpp::Time(static_cast<std::int64_t>(pcl_stamp * 1000ull));  // us to ns
}

inline
void toPCL(const rclcpp::Time & stamp, std::uint64_t & pcl_stamp)
{
  pcl_stamp = static_cast<std::uint64_t>(stamp.nanoseconds()) / 1000ull;  // ns to us
}

inline
rclcpp::Time fromPCL(const std::uint64_t & pcl_stamp)
{
  rclcpp::Time stamp;
  fromPCL(pcl_stamp, stamp);
  return stamp;
}

inline
std::uint64_t toPCL(const rclcpp::Time & stamp)
{
  std::uint64_t pcl_stamp;
  toPCL(stamp, pcl_stamp);
  return pcl_stamp;
}

/** PCLHeader <=> Header **/

inline
void fromPCL(const pcl::PCLHeader & pcl_header, std_msgs::msg::Header & header)
{
  header.stamp = fromPCL(pcl_header.stamp);
  header.frame_id = pcl_header.frame_id;
}

inline
void toPCL(const std_msgs::msg::Header & header, pcl::PCLHeader & pcl_header)
{
  toPCL(header.stamp, pcl_header.stamp);
  // ROS 2 headers carry no sequence number.
  pcl_header.seq = 0;
  pcl_header.frame_id = header.frame_id;
}

inline
std_msgs::msg::Header fromPCL(const pcl::PCLHeader & pcl_header)
{
  std_msgs::msg::Header header;
  fromPCL(pcl_header, header);
  return header;
}

inline
pcl::PCLHeader toPCL(const std_msgs::msg::Header & header)
{
  pcl::PCLHeader pcl_header;
  toPCL(header, pcl_header);
  return pcl_header;
}

/** PCLImage <=> Image **/

inline
void copyPCLImageMetaData(const pcl::PCLImage & pcl_image, sensor_msgs::msg::Image & image)
{
  fromPCL(pcl_image.header, image.header);
  image.height = pcl_image.height;
  image.width = pcl_image.width;
  image.encoding = pcl_image.encoding;
  image.is_bigendian = pcl_image.is_bigendian;
  image.step = pcl_image.step;
}

inline
void fromPCL(const pcl::PCLImage & pcl_image, sensor_msgs::msg::Image & image)
{
  copyPCLImageMetaData(pcl_image, image);
  image.data = pcl_image.data;
}

inline
void moveFromPCL(pcl::PCLImage & pcl_image, sensor_msgs::msg::Image & image)
{
  copyPCLImageMetaData(pcl_image, image);
  image.data.swap(pcl_image.data);
}

inline
void copyImageMetaData(const sensor_msgs::msg::Image & image, pcl::PCLImage & pcl_image)
{
  toPCL(image.header, pcl_image.header);
  pcl_image.height = image.height;
  pcl_image.width = image.width;
  pcl_image.encoding = image.encoding;
  pcl_image.is_bigendian = image.is_bigendian;
  pcl_image.step = image.step;
}

inline
void toPCL(const sensor_msgs::msg::Image & image, pcl::PCLImage & pcl_image)
{
  copyImageMetaData(image, pcl_image);
  pcl_image.data = image.data;
}

inline
void moveToPCL(sensor_msgs::msg::Image & image, pcl::PCLImage & pcl_image)
{
  copyImageMetaData(image, pcl_image);
  pcl_image.data.swap(image.data);
}

/** PCLPointField <=> PointField **/

inline
void fromPCL(const pcl::PCLPointField & pcl_pf, sensor_msgs::msg::PointField & pf)
{
  pf.name = pcl_pf.name;
  pf.offset = pcl_pf.offset;
  pf.datatype = pcl_pf.datatype;
  pf.count = pcl_pf.count;
}

inline
void fromPCL(
  const std::vector<pcl::PCLPointField> & pcl_pfs, std::vector<sensor_msgs::msg::PointField> & pfs)
{
  pfs.resize(pcl_pfs.size());
  for (std::size_t i = 0; i < pcl_pfs.size(); ++i) {
    fromPCL(pcl_pfs[i], pfs[i]);
  }
}

inline
void toPCL(const sensor_msgs::msg::PointField & pf, pcl::PCLPointField & pcl_pf)
{
  pcl_pf.name = pf.name;
  pcl_pf.offset = pf.offset;
  pcl_pf.datatype = pf.datatype;
  pcl_pf.count = pf.count;
}

inline
void toPCL(
  const std::vector<sensor_msgs::msg::PointField> & pfs, std::vector<pcl::PCLPointField> & pcl_pfs)
{
  pcl_pfs.resize(pfs.size());
  for (std::size_t i = 0; i < pfs.size(); ++i) {
    toPCL(pfs[i], pcl_pfs[i]);
  }
}

/** PCLPointCloud2 <=> PointCloud2 **/

inline
void copyPCLPointCloud2MetaData(
  const pcl::PCLPointCloud2 & pcl_pc2, sensor_msgs::msg::PointCloud2 & pc2)
{
  fromPCL(pcl_pc2.header, pc2.header);
  pc2.height = pcl_pc2.height;
  pc2.width = pcl_pc2.width;
  fromPCL(pcl_pc2.fields, pc2.fields);
  pc2.is_bigendian = pcl_pc2.is_bigendian;
  pc2.point_step = pcl_pc2.point_step;
  pc2.row_step = pcl_pc2.row_step;
  pc2.is_dense = pcl_pc2.is_dense;
}

inline
void fromPCL(const pcl::PCLPointCloud2 & pcl_pc2, sensor_msgs::msg::PointCloud2 & pc2)
{
  copyPCLPointCloud2MetaData(pcl_pc2, pc2);
  pc2.data = pcl_pc2.data;
}

inline
void moveFromPCL(pcl::PCLPointCloud2 & pcl_pc2, sensor_msgs::msg::PointCloud2 & pc2)
{
  copyPCLPointCloud2MetaData(pcl_pc2, pc2);
  pc2.data.swap(pcl_pc2.data);
}

inline
void copyPointCloud2MetaData(
  const sensor_msgs::msg::PointCloud2 & pc2, pcl::PCLPointCloud2 & pcl_pc2)
{
  toPCL(pc2.header, pcl_pc2.header);
  pcl_pc2.height = pc2.height;
  pcl_pc2.width = pc2.width;
  toPCL(pc2.fields, pcl_pc2.fields);
  pcl_pc2.is_bigendian = pc2.is_bigendian;
  pcl_pc2.point_step = pc2.point_step;
  pcl_pc2.row_step = pc2.row_step;
  pcl_pc2.is_dense = pc2.is_dense;
}

inline
void toPCL(const sensor_msgs::msg::PointCloud2 & pc2, pcl::PCLPointCloud2 & pcl_pc2)
{
  copyPointCloud2MetaData(pc2, pcl_pc2);
  pcl_pc2.data = pc2.data;
}

inline
void moveToPCL(sensor_msgs::msg::PointCloud2 & pc2, pcl::PCLPointCloud2 & pcl_pc2)
{
  copyPointCloud2MetaData(pc2, pcl_pc2);
  pcl_pc2.data.swap(pc2.data);
}

}  // namespace pcl_conversions

namespace pcl
{

inline int getFieldIndex(const sensor_msgs::msg::PointCloud2 & cloud, const std::string & field_name)
{
  for (std::size_t d = 0; d < cloud.fields.size(); ++d) {
    if (cloud.fields[d].name == field_name) {
      return static_cast<int>(d);
    }
  }
  return -1;
}

// The field names separated by single spaces.
inline std::string getFieldsList(const sensor_msgs::msg::PointCloud2 & cloud)
{
  std::string result;
  for (std::size_t i = 0; i < cloud.fields.size(); ++i) {
    result += (i == 0 ? "" : " ") + cloud.fields[i].name;
  }
  return result;
}

/** pcl::PointCloud<T> <=> PointCloud2, through PCL's own serialisation **/

template<typename T>
void toROSMsg(const pcl::PointCloud<T> & pcl_cloud, sensor_msgs::msg::PointCloud2 & cloud)
{
  pcl::PCLPointCloud2 pcl_pc2;
  pcl::toPCLPointCloud2(pcl_cloud, pcl_pc2);
  pcl_conversions::moveFromPCL(pcl_pc2, cloud);
}

template<typename T>
void fromROSMsg(const sensor_msgs::msg::PointCloud2 & cloud, pcl::PointCloud<T> & pcl_cloud)
{
  pcl::PCLPointCloud2 pcl_pc2;
  pcl_conversions::toPCL(cloud, pcl_pc2);
  pcl::fromPCLPointCloud2(pcl_pc2, pcl_cloud);
}

template<typename T>
void moveFromROSMsg(sensor_msgs::msg::PointCloud2 & cloud, pcl::PointCloud<T> & pcl_cloud)
{
  pcl::PCLPointCloud2 pcl_pc2;
  pcl_conversions::moveToPCL(cloud, pcl_pc2);
  pcl::fromPCLPointCloud2(pcl_pc2, pcl_cloud);
}

}  // namespace pcl

#endif  // PCL_CONVERSIONS__PCL_CONVERSIONS_H_
