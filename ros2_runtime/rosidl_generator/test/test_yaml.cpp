// Messages print as Humble's generated to_yaml() prints them: block style
// by default, flow style on request.

#include <gtest/gtest.h>

#include <string>

#include "geometry_msgs/msg/quaternion.hpp"
#include "rosidl_generator_test_msgs/msg/features.hpp"
#include "sensor_msgs/msg/point_field.hpp"
#include "std_msgs/msg/empty.hpp"
#include "std_msgs/msg/header.hpp"
#include "tf2_msgs/msg/tf_message.hpp"

namespace
{

std_msgs::msg::Header header()
{
  std_msgs::msg::Header h;
  h.stamp.sec = 1;
  h.stamp.nanosec = 2;
  h.frame_id = "a\"b";
  return h;
}

TEST(Yaml, BlockStyleIndentsNestedMessages)
{
  EXPECT_EQ(std_msgs::msg::to_yaml(header()),
    "stamp:\n"
    "  sec: 1\n"
    "  nanosec: 2\n"
    "frame_id: \"a\\\"b\"\n");
}

TEST(Yaml, FlowStyleIsOneLine)
{
  EXPECT_EQ(std_msgs::msg::to_yaml(header(), true),
    "{stamp: {sec: 1, nanosec: 2}, frame_id: \"a\\\"b\"}");
  EXPECT_EQ(geometry_msgs::msg::to_yaml(geometry_msgs::msg::Quaternion(), true),
    "{x: 0.00000, y: 0.00000, z: 0.00000, w: 1.00000}");
  sensor_msgs::msg::PointField f;
  f.name = "x";
  f.datatype = sensor_msgs::msg::PointField::FLOAT32;
  EXPECT_EQ(sensor_msgs::msg::to_yaml(f, true),
    "{name: \"x\", offset: 0, datatype: 7, count: 0}");
}

TEST(Yaml, SequencesListTheirItems)
{
  tf2_msgs::msg::TFMessage tf;
  EXPECT_EQ(tf2_msgs::msg::to_yaml(tf), "transforms: []\n");
  tf.transforms.resize(1);
  tf.transforms[0].child_frame_id = "c";
  const std::string yaml = tf2_msgs::msg::to_yaml(tf);
  const std::string first_lines =
    "transforms:\n"
    "-\n"
    "  header:\n"
    "    stamp:\n"
    "      sec: 0\n"
    "      nanosec: 0\n"
    "    frame_id: \"\"\n";
  EXPECT_EQ(yaml.substr(0, first_lines.size()), first_lines);
  EXPECT_NE(yaml.find("  child_frame_id: \"c\"\n"), std::string::npos);
}

TEST(Yaml, PrintsEveryKindOfValue)
{
  rosidl_generator_test_msgs::msg::Features f;
  f.wide = u"\u00e9";
  const std::string yaml = rosidl_generator_test_msgs::msg::to_yaml(f, true);
  for (const char * part : {"flag: true", "octet: 0xff", "letter: 65", "small: -8",
      "widest: 18446744073709551615", "single: 1.50000", "wide: \"\\u00e9\"",
      "fixed_ints: [1, 2, 3]", "flags: []", "few_bytes: []"})
  {
    EXPECT_NE(yaml.find(part), std::string::npos) << part << " in " << yaml;
  }
  EXPECT_EQ(std_msgs::msg::to_yaml(std_msgs::msg::Empty()), "null\n");
}

}  // namespace
