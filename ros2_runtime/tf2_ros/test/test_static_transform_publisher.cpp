// The static_transform_publisher program: its transform reaches a listener
// in another process, in the flag form and the old positional form, and
// bad command lines end with tf2_ros's texts and status 1.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "child_process.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2_ros/buffer.h"
#include "tf2_ros/transform_listener.h"

namespace
{

std::vector<std::string> command(std::vector<std::string> args)
{
  args.insert(args.begin(), STATIC_TRANSFORM_PUBLISHER);
  return args;
}

class PublishedTransform : public ::testing::Test
{
protected:
  void SetUp() override {rclcpp::init(0, nullptr);}
  void TearDown() override {rclcpp::shutdown();}

  geometry_msgs::msg::TransformStamped receive(const std::string & parent, const std::string & child)
  {
    tf2_ros::Buffer buffer(std::make_shared<rclcpp::Clock>());
    tf2_ros::TransformListener listener(buffer);
    return buffer.lookupTransform(parent, child, tf2::TimePointZero, tf2::durationFromSec(15.0));
  }
};

TEST_F(PublishedTransform, FlagsGiveTranslationAndQuaternion)
{
  ChildProcess publisher(command(
      {"--x", "1.5", "--y", "-2", "--z", "0.25", "--qz", "1", "--qw", "0",
        "--frame-id", "arm_base_link", "--child-frame-id", "camera_link"}));
  const auto msg = receive("arm_base_link", "camera_link");
  EXPECT_DOUBLE_EQ(msg.transform.translation.x, 1.5);
  EXPECT_DOUBLE_EQ(msg.transform.translation.y, -2.0);
  EXPECT_DOUBLE_EQ(msg.transform.translation.z, 0.25);
  EXPECT_DOUBLE_EQ(msg.transform.rotation.z, 1.0);
  EXPECT_DOUBLE_EQ(msg.transform.rotation.w, 0.0);
  EXPECT_NE(
    publisher.err().find(
      "Spinning until stopped - publishing transform\ntranslation: ('1.500000', '-2.000000', "
      "'0.250000')\nrotation: ('0.000000', '0.000000', '1.000000', '0.000000')\n"
      "from 'arm_base_link' to 'camera_link'"),
    std::string::npos) << publisher.err();
}

TEST_F(PublishedTransform, OldPositionalFormTakesYawPitchRoll)
{
  ChildProcess publisher(command({"0", "0", "1", "1.5707963267948966", "0", "0", "world", "arm"}));
  const auto msg = receive("world", "arm");
  EXPECT_DOUBLE_EQ(msg.transform.translation.z, 1.0);
  EXPECT_NEAR(msg.transform.rotation.z, std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(msg.transform.rotation.w, std::sqrt(0.5), 1e-12);
  EXPECT_NE(
    publisher.err().find(
      "Old-style arguments are deprecated; see --help for new-style arguments"),
    std::string::npos);
}

TEST_F(PublishedTransform, RollPitchYawFlagsTurnIntoAQuaternion)
{
  ChildProcess publisher(command({"--roll", "3.141592653589793", "--frame-id", "a",
      "--child-frame-id", "b"}));
  const auto msg = receive("a", "b");
  EXPECT_NEAR(msg.transform.rotation.x, 1.0, 1e-12);
  EXPECT_NEAR(msg.transform.rotation.w, 0.0, 1e-12);
}

struct BadCommandLine
{
  std::vector<std::string> args;
  std::string reason;
};

TEST(StaticTransformPublisherCommandLine, RefusesBadArgumentsWithTf2RosTexts)
{
  const std::vector<BadCommandLine> cases = {
    {{"--qx", "1", "--roll", "1", "--frame-id", "a", "--child-frame-id", "b"},
      "Cannot specify both quaternion and Euler rotations"},
    {{"--x", "one", "--frame-id", "a", "--child-frame-id", "b"},
      "Failed to parse --x argument as float"},
    {{"--frame-id"}, "Not enough arguments for --frame-id"},
    {{"--child-frame-id", "b"}, "Frame id must not be empty"},
    {{"--frame-id", "a"}, "Child frame id must not be empty"},
    {{"1", "2", "--frame-id", "a", "--child-frame-id", "b"},
      "Extra unparsed arguments on command-line"},
    {{"--x", "1", "0", "0", "0", "0", "0", "0", "a", "b"},
      "Cannot specify both new-style (flags) and old-style (arguments)"},
  };
  for (const auto & c : cases) {
    ChildProcess publisher(command(c.args));
    EXPECT_EQ(publisher.wait(std::chrono::seconds(10)), 1) << c.reason;
    EXPECT_NE(
      publisher.err().find("error parsing command line arguments: " + c.reason),
      std::string::npos) << publisher.err();
    EXPECT_EQ(publisher.out().rfind("usage: static_transform_publisher", 0), 0u);
  }
}

TEST(StaticTransformPublisherCommandLine, HelpPrintsUsageAndSucceeds)
{
  ChildProcess publisher(command({"--help"}));
  EXPECT_EQ(publisher.wait(std::chrono::seconds(10)), 0);
  EXPECT_NE(publisher.out().find("--yaw YAW             yaw component Euler rotation\n"),
    std::string::npos);
}

}  // namespace
