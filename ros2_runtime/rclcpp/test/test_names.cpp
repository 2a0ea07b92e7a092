// Node, topic and service names expand, remap and fail validation with
// rcl's rules and rclcpp's exception texts.
#include <gtest/gtest.h>

#include <string>

#include "context_fixture.hpp"
#include "rclcpp/rclcpp.hpp"
#include "std_msgs/msg/string.hpp"

namespace
{

std::string published_topic(
  const std::shared_ptr<rclcpp::Node> & node, const std::string & topic)
{
  return node->create_publisher<std_msgs::msg::String>(topic, 10)->get_topic_name();
}

TEST(TopicNames, ExpandInTheNodesNamespace)
{
  auto context = make_context();
  auto root = std::make_shared<rclcpp::Node>("arm", options_for(context));
  auto spaced = std::make_shared<rclcpp::Node>("arm", "robot/left", options_for(context));
  EXPECT_EQ(published_topic(root, "map_poindcloud"), "/map_poindcloud");
  EXPECT_EQ(published_topic(spaced, "map_poindcloud"), "/robot/left/map_poindcloud");
  EXPECT_EQ(published_topic(spaced, "/camera/depth/image_raw"), "/camera/depth/image_raw");
  EXPECT_EQ(published_topic(spaced, "~/debug"), "/robot/left/arm/debug");
  EXPECT_EQ(published_topic(root, "~/debug"), "/arm/debug");
  EXPECT_EQ(published_topic(spaced, "{node}/x"), "/robot/left/arm/x");
  EXPECT_STREQ(spaced->get_namespace(), "/robot/left");
  EXPECT_STREQ(spaced->get_fully_qualified_name(), "/robot/left/arm");
  EXPECT_STREQ(spaced->get_logger().get_name(), "robot.left.arm");
}

TEST(TopicNames, RemapRulesRewriteMatchingNames)
{
  auto context = make_context(
    {"--ros-args", "-r", "image:=/camera/depth/image_raw", "-r", "other:x:=/never",
      "-r", "__ns:=/robot", "-r", "arm:__node:=renamed"});
  auto node = std::make_shared<rclcpp::Node>("arm", options_for(context));
  EXPECT_STREQ(node->get_name(), "renamed");
  EXPECT_STREQ(node->get_namespace(), "/robot");
  EXPECT_EQ(published_topic(node, "image"), "/camera/depth/image_raw");
  EXPECT_EQ(published_topic(node, "/robot/image"), "/camera/depth/image_raw");
  EXPECT_EQ(published_topic(node, "x"), "/robot/x");
}

TEST(TopicNames, InvalidNamesThrowWithRclsTextAndPosition)
{
  auto node = std::make_shared<rclcpp::Node>("arm", options_for(make_context()));
  try {
    published_topic(node, "camera depth");
    FAIL() << "expected InvalidTopicNameError";
  } catch (const rclcpp::exceptions::InvalidTopicNameError & e) {
    EXPECT_STREQ(
      e.what(),
      "Invalid topic name: topic name must not contain characters other than alphanumerics, "
      "'_', '~', '{', or '}':\n  'camera depth'\n         ^\n");
  }
  try {
    published_topic(node, "/camera//depth");
    FAIL() << "expected InvalidTopicNameError";
  } catch (const rclcpp::exceptions::InvalidTopicNameError & e) {
    EXPECT_STREQ(
      e.what(),
      "Invalid topic name: topic name must not contain repeated '/':\n"
      "  '/camera//depth'\n           ^\n");
  }
  EXPECT_THROW(published_topic(node, ""), rclcpp::exceptions::InvalidTopicNameError);
  EXPECT_THROW(published_topic(node, "depth/"), rclcpp::exceptions::InvalidTopicNameError);
  EXPECT_THROW(published_topic(node, "3d"), rclcpp::exceptions::InvalidTopicNameError);
  EXPECT_THROW(published_topic(node, "a~b"), rclcpp::exceptions::InvalidTopicNameError);
}

TEST(NodeNames, InvalidNodeNamesAndNamespacesThrow)
{
  auto context = make_context();
  try {
    std::make_shared<rclcpp::Node>("arm-node", options_for(context));
    FAIL() << "expected InvalidNodeNameError";
  } catch (const rclcpp::exceptions::InvalidNodeNameError & e) {
    EXPECT_STREQ(
      e.what(),
      "Invalid node name: node name must not contain characters other than alphanumerics or "
      "'_':\n  'arm-node'\n      ^\n");
  }
  EXPECT_THROW(
    std::make_shared<rclcpp::Node>("arm", "/robot/", options_for(context)),
    rclcpp::exceptions::InvalidNamespaceError);
}

TEST(NodeNames, NodesNeedAValidContext)
{
  auto context = make_context();
  context->shutdown("test");
  try {
    std::make_shared<rclcpp::Node>("arm", options_for(context));
    FAIL() << "expected RCLError";
  } catch (const rclcpp::exceptions::RCLError & e) {
    EXPECT_STREQ(
      e.what(),
      "failed to initialize rcl node: the given context is not valid, either rcl_init() was not "
      "called or rcl_shutdown() was called.");
  }
}

}  // namespace
