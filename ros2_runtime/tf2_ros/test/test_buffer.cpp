// tf2_ros::Buffer's waiting lookups: a transform that arrives within the
// timeout is found, one that arrives later is not, and the failure is the
// lookup's own exception.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "rclcpp/rclcpp.hpp"
#include "tf2/exceptions.h"
#include "tf2_ros/buffer.h"

namespace
{

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

geometry_msgs::msg::TransformStamped link(
  const std::string & parent, const std::string & child, double z)
{
  geometry_msgs::msg::TransformStamped msg;
  msg.header.frame_id = parent;
  msg.child_frame_id = child;
  msg.transform.translation.z = z;
  msg.transform.rotation.w = 1.0;
  return msg;
}

double secondsSince(Clock::time_point start)
{
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class WaitingBuffer : public ::testing::Test
{
protected:
  static void SetUpTestSuite() {rclcpp::init(0, nullptr);}
  static void TearDownTestSuite() {rclcpp::shutdown();}

  void SetUp() override
  {
    // As a TransformListener with its own thread would.
    buffer.setUsingDedicatedThread(true);
    ASSERT_TRUE(buffer.setTransform(link("world", "arm_base_link", 1.0), "test", true));
  }

  // Inserts arm_base_link <- camera_link after `delay`, from another thread.
  void publishCameraAfter(milliseconds delay)
  {
    feeder = std::thread(
      [this, delay]() {
        std::this_thread::sleep_for(delay);
        buffer.setTransform(link("arm_base_link", "camera_link", 0.5), "test", true);
      });
  }

  void TearDown() override
  {
    if (feeder.joinable()) {
      feeder.join();
    }
  }

  tf2_ros::Buffer buffer{std::make_shared<rclcpp::Clock>()};
  std::thread feeder;
};

TEST_F(WaitingBuffer, FindsATransformArrivingWithinTheTimeout)
{
  publishCameraAfter(milliseconds(50));
  const auto start = Clock::now();
  const auto msg = buffer.lookupTransform(
    "world", "camera_link", tf2::TimePointZero, tf2::durationFromSec(0.2));
  EXPECT_GE(secondsSince(start), 0.04);
  EXPECT_DOUBLE_EQ(msg.transform.translation.z, 1.5);
  EXPECT_EQ(msg.header.frame_id, "world");
  EXPECT_EQ(msg.child_frame_id, "camera_link");
}

TEST_F(WaitingBuffer, GivesUpAtTheTimeoutWithTheLookupsOwnError)
{
  publishCameraAfter(milliseconds(500));
  const auto start = Clock::now();
  try {
    buffer.lookupTransform("world", "camera_link", tf2::TimePointZero, tf2::durationFromSec(0.2));
    FAIL() << "found a transform that was not there yet";
  } catch (const tf2::LookupException & e) {
    EXPECT_STREQ(
      e.what(), "\"camera_link\" passed to lookupTransform argument source_frame does not exist. ");
  }
  const double waited = secondsSince(start);
  EXPECT_GE(waited, 0.2);
  EXPECT_LT(waited, 0.45);

  feeder.join();
  EXPECT_NO_THROW(
    buffer.lookupTransform("world", "camera_link", tf2::TimePointZero, tf2::durationFromSec(0.2)));
}

TEST_F(WaitingBuffer, WaitsOutTheTimeoutForAnEmptyFrameThenRejectsIt)
{
  const auto start = Clock::now();
  try {
    buffer.lookupTransform("", "arm_base_link", tf2::TimePointZero, tf2::durationFromSec(0.05));
    FAIL();
  } catch (const tf2::InvalidArgumentException & e) {
    EXPECT_STREQ(
      e.what(), "Invalid argument \"\" passed to lookupTransform argument target_frame in tf2 "
      "frame_ids cannot be empty");
  }
  EXPECT_GE(secondsSince(start), 0.05);
}

TEST_F(WaitingBuffer, CanTransformTellsWhyAndHowLongItWaited)
{
  std::string error;
  EXPECT_FALSE(
    buffer.canTransform(
      "world", "nowhere", tf2::TimePointZero, tf2::durationFromSec(0.05), &error));
  const std::string reason =
    "Invalid frame ID \"nowhere\" passed to canTransform argument source_frame - frame does not "
    "exist. canTransform returned after ";
  EXPECT_EQ(error.substr(0, reason.size()), reason) << error;
  const std::string tail = " timeout was 0.05.";
  ASSERT_GT(error.size(), tail.size());
  EXPECT_EQ(error.substr(error.size() - tail.size()), tail) << error;

  EXPECT_TRUE(
    buffer.canTransform("arm_base_link", "world", tf2::TimePointZero, tf2::durationFromSec(0.05)));
}

TEST_F(WaitingBuffer, AcceptsRclcppTimes)
{
  const auto msg = buffer.lookupTransform(
    "arm_base_link", "world", rclcpp::Time(0), rclcpp::Duration::from_seconds(0.05));
  EXPECT_DOUBLE_EQ(msg.transform.translation.z, -1.0);
  EXPECT_TRUE(buffer.canTransform("world", "arm_base_link", rclcpp::Time(0)));
}

TEST_F(WaitingBuffer, DoesNotWaitWithoutAThreadFeedingIt)
{
  tf2_ros::Buffer unfed(std::make_shared<rclcpp::Clock>());
  std::string error;
  const auto start = Clock::now();
  EXPECT_FALSE(
    unfed.canTransform("world", "camera_link", tf2::TimePointZero, tf2::durationFromSec(1.0),
    &error));
  EXPECT_EQ(error, tf2_ros::threading_error);
  EXPECT_THROW(
    unfed.lookupTransform("world", "camera_link", tf2::TimePointZero, tf2::durationFromSec(1.0)),
    tf2::LookupException);
  EXPECT_LT(secondsSince(start), 0.5);
}

TEST(Buffer, NeedsAClock)
{
  try {
    tf2_ros::Buffer buffer(nullptr);
    FAIL();
  } catch (const std::invalid_argument & e) {
    EXPECT_STREQ(e.what(), "clock must be a valid instance");
  }
  tf2_ros::Buffer buffer(std::make_shared<rclcpp::Clock>());
  EXPECT_EQ(buffer.getCacheLength(), std::chrono::seconds(10));
}

}  // namespace
