// The listener and the broadcasters over DDS: static transforms reach a
// listener that starts after they were sent, moving ones arrive on its own
// thread while the test thread waits, from this process or another one.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "rclcpp/rclcpp.hpp"
#include "tf2/exceptions.h"
#include "tf2_ros/buffer.h"
#include "tf2_ros/static_transform_broadcaster.h"
#include "tf2_ros/transform_broadcaster.h"
#include "tf2_ros/transform_listener.h"

namespace
{

geometry_msgs::msg::TransformStamped link(
  const std::string & parent, const std::string & child, double x, const rclcpp::Time & stamp)
{
  geometry_msgs::msg::TransformStamped msg;
  msg.header.frame_id = parent;
  msg.header.stamp = stamp;
  msg.child_frame_id = child;
  msg.transform.translation.x = x;
  msg.transform.rotation.w = 1.0;
  return msg;
}

// Runs in a child process until killed: publishes a static and a moving
// transform as a robot's TF publishers would.
[[noreturn]] void publishFromChild()
{
  rclcpp::init(0, nullptr);
  auto node = std::make_shared<rclcpp::Node>("tf_child_publisher");
  tf2_ros::StaticTransformBroadcaster statics(node);
  statics.sendTransform(link("world", "arm_base_link", 3.0, rclcpp::Time(0)));
  tf2_ros::TransformBroadcaster broadcaster(node);
  for (int i = 0; i < 1000; ++i) {
    broadcaster.sendTransform(link("arm_base_link", "camera_link", 0.5, node->now()));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  _exit(0);
}

TEST(OtherProcess, TransformsFromAnotherProcessReachTheBuffer)
{
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    publishFromChild();
  }
  rclcpp::init(0, nullptr);
  {
    auto clock = std::make_shared<rclcpp::Clock>();
    tf2_ros::Buffer buffer(clock);
    tf2_ros::TransformListener listener(buffer);
    const auto msg = buffer.lookupTransform(
      "world", "camera_link", tf2::TimePointZero, tf2::durationFromSec(15.0));
    EXPECT_DOUBLE_EQ(msg.transform.translation.x, 3.5);
  }
  rclcpp::shutdown();
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
}

class OverDds : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    node = std::make_shared<rclcpp::Node>("tf_publisher");
  }

  void TearDown() override
  {
    node.reset();
    rclcpp::shutdown();
  }

  rclcpp::Node::SharedPtr node;
};

TEST_F(OverDds, LateListenerReceivesEveryStaticTransformSentBefore)
{
  tf2_ros::StaticTransformBroadcaster statics(node);
  statics.sendTransform(link("world", "arm_base_link", 1.0, rclcpp::Time(0)));
  statics.sendTransform(link("arm_base_link", "camera_link", 0.25, rclcpp::Time(0)));

  tf2_ros::Buffer buffer(node->get_clock());
  tf2_ros::TransformListener listener(buffer);
  EXPECT_TRUE(buffer.isUsingDedicatedThread());
  const auto msg = buffer.lookupTransform(
    "world", "camera_link", tf2::TimePointZero, tf2::durationFromSec(10.0));
  EXPECT_DOUBLE_EQ(msg.transform.translation.x, 1.25);
}

TEST_F(OverDds, MovingTransformsArriveOnTheListenersThread)
{
  tf2_ros::Buffer buffer(node->get_clock());
  tf2_ros::TransformListener listener(buffer);

  tf2_ros::TransformBroadcaster broadcaster(node);
  std::atomic<bool> stop{false};
  // /tf is volatile: keep sending until the listener has been discovered.
  std::thread sender(
    [&]() {
      while (!stop) {
        broadcaster.sendTransform(link("world", "tool", 2.0, node->now()));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });

  const auto msg = buffer.lookupTransform(
    "world", "tool", tf2::TimePointZero, tf2::durationFromSec(10.0));
  stop = true;
  sender.join();
  EXPECT_DOUBLE_EQ(msg.transform.translation.x, 2.0);
  EXPECT_EQ(msg.header.frame_id, "world");
  EXPECT_GT(msg.header.stamp.sec, 0);
}

TEST_F(OverDds, ListenerStopsItsThreadPromptly)
{
  tf2_ros::Buffer buffer(node->get_clock());
  const auto start = std::chrono::steady_clock::now();
  {
    tf2_ros::TransformListener listener(buffer);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_THROW(
    buffer.lookupTransform("world", "tool", tf2::TimePointZero), tf2::LookupException);
}

}  // namespace
