// Lookups through the frame tree: chains, interpolation, static links, the
// latest common time and every failure with its text. Expected transforms
// are composed with Eigen in the test.

#include <gtest/gtest.h>

#include <Eigen/Geometry>

#include <cmath>
#include <string>

#include "tf2/buffer_core.h"
#include "tf2/exceptions.h"

namespace
{

tf2::TimePoint at(double seconds)
{
  return tf2::timeFromSec(seconds);
}

geometry_msgs::msg::TransformStamped link(
  const std::string & parent, const std::string & child, double seconds,
  const Eigen::Vector3d & t, double yaw)
{
  geometry_msgs::msg::TransformStamped msg;
  msg.header.frame_id = parent;
  msg.child_frame_id = child;
  const auto ns = tf2::timeFromSec(seconds).time_since_epoch().count();
  msg.header.stamp.sec = static_cast<int32_t>(ns / 1000000000);
  msg.header.stamp.nanosec = static_cast<uint32_t>(ns % 1000000000);
  const Eigen::Quaterniond q(Eigen::AngleAxisd(yaw, Eigen::Vector3d::UnitZ()));
  msg.transform.translation.x = t.x();
  msg.transform.translation.y = t.y();
  msg.transform.translation.z = t.z();
  msg.transform.rotation.x = q.x();
  msg.transform.rotation.y = q.y();
  msg.transform.rotation.z = q.z();
  msg.transform.rotation.w = q.w();
  return msg;
}

Eigen::Isometry3d pose(const Eigen::Vector3d & t, double yaw)
{
  Eigen::Isometry3d iso = Eigen::Isometry3d::Identity();
  iso.translate(t);
  iso.rotate(Eigen::AngleAxisd(yaw, Eigen::Vector3d::UnitZ()));
  return iso;
}

Eigen::Isometry3d toIsometry(const geometry_msgs::msg::TransformStamped & msg)
{
  const auto & r = msg.transform.rotation;
  const auto & t = msg.transform.translation;
  Eigen::Isometry3d iso = Eigen::Isometry3d::Identity();
  iso.translate(Eigen::Vector3d(t.x, t.y, t.z));
  iso.rotate(Eigen::Quaterniond(r.w, r.x, r.y, r.z));
  return iso;
}

void expectPose(const geometry_msgs::msg::TransformStamped & msg, const Eigen::Isometry3d & want)
{
  EXPECT_TRUE(toIsometry(msg).isApprox(want, 1e-9)) <<
    "got\n" << toIsometry(msg).matrix() << "\nwant\n" << want.matrix();
}

template<typename Exception>
std::string lookupFailure(
  const tf2::BufferCore & buffer, const std::string & target, const std::string & source,
  tf2::TimePoint time)
{
  try {
    buffer.lookupTransform(target, source, time);
  } catch (const Exception & e) {
    return e.what();
  }
  ADD_FAILURE() << "no exception of the expected type";
  return "";
}

// world <- arm_base_link (moving) <- camera_link (static) <- optical (moving)
class ThreeFrameChain : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_TRUE(buffer.setTransform(link("world", "arm_base_link", 1.0, {1, 0, 0}, 0.0), "test"));
    ASSERT_TRUE(
      buffer.setTransform(link("world", "arm_base_link", 3.0, {3, 0, 0}, M_PI / 2), "test"));
    ASSERT_TRUE(
      buffer.setTransform(
        link("arm_base_link", "camera_link", 0.0, {0, 0, 1}, 0.0), "test", true));
    ASSERT_TRUE(buffer.setTransform(link("camera_link", "optical", 1.5, {0, 1, 0}, 0.0), "test"));
    ASSERT_TRUE(buffer.setTransform(link("camera_link", "optical", 2.5, {0, 2, 0}, 0.0), "test"));
  }

  tf2::BufferCore buffer;
};

TEST_F(ThreeFrameChain, ChainsInterpolatedAndStaticLinks)
{
  // At 2 s the base is halfway: x = 2, a 45 degree turn.
  const Eigen::Isometry3d world_base = pose({2, 0, 0}, M_PI / 4);
  const Eigen::Isometry3d base_camera = pose({0, 0, 1}, 0.0);
  const Eigen::Isometry3d camera_optical = pose({0, 1.5, 0}, 0.0);

  const auto msg = buffer.lookupTransform("world", "optical", at(2.0));
  expectPose(msg, world_base * base_camera * camera_optical);
  EXPECT_EQ(msg.header.frame_id, "world");
  EXPECT_EQ(msg.child_frame_id, "optical");
  EXPECT_EQ(msg.header.stamp.sec, 2);
  EXPECT_EQ(msg.header.stamp.nanosec, 0u);

  expectPose(
    buffer.lookupTransform("optical", "world", at(2.0)),
    (world_base * base_camera * camera_optical).inverse());
  expectPose(buffer.lookupTransform("world", "camera_link", at(2.0)), world_base * base_camera);
  expectPose(buffer.lookupTransform("camera_link", "world", at(2.0)),
    (world_base * base_camera).inverse());
}

TEST_F(ThreeFrameChain, CarriesAPointFromSourceToTarget)
{
  // (1, 0, 0) in camera_link is (1, 0, 1) in the base, turned 45 degrees
  // and shifted by 2 along x in the world.
  const Eigen::Isometry3d t = toIsometry(buffer.lookupTransform("world", "camera_link", at(2.0)));
  const Eigen::Vector3d p = t * Eigen::Vector3d(1, 0, 0);
  EXPECT_NEAR(p.x(), 2.0 + std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(p.y(), std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(p.z(), 1.0, 1e-12);
}

TEST_F(ThreeFrameChain, TimeZeroMeansTheLatestTimeTheChainShares)
{
  // The base's newest sample is at 3 s, the optical link's at 2.5 s.
  const auto msg = buffer.lookupTransform("world", "optical", tf2::TimePointZero);
  EXPECT_EQ(msg.header.stamp.sec, 2);
  EXPECT_EQ(msg.header.stamp.nanosec, 500000000u);
  expectPose(msg, pose({2.5, 0, 0}, M_PI * 3 / 8) * pose({0, 0, 1}, 0) * pose({0, 2, 0}, 0));

  // Only the moving base between world and camera_link: its newest sample.
  const auto base = buffer.lookupTransform("camera_link", "world", tf2::TimePointZero);
  EXPECT_EQ(base.header.stamp.sec, 3);
  EXPECT_TRUE(buffer.canTransform("world", "optical", tf2::TimePointZero));
}

TEST_F(ThreeFrameChain, StaticLinksHoldAtEveryTime)
{
  for (double t : {0.0, 1.0, 1e6}) {
    expectPose(
      buffer.lookupTransform("arm_base_link", "camera_link", at(t)), pose({0, 0, 1}, 0.0));
  }
  const auto msg = buffer.lookupTransform("arm_base_link", "camera_link", tf2::TimePointZero);
  EXPECT_EQ(msg.header.stamp.sec, 0);
}

TEST_F(ThreeFrameChain, AFrameIsIdentityToItselfEvenWhenUnknown)
{
  expectPose(buffer.lookupTransform("optical", "optical", at(7.0)), Eigen::Isometry3d::Identity());
  EXPECT_EQ(buffer.lookupTransform("optical", "optical", tf2::TimePointZero).header.stamp.nanosec,
    500000000u);
  expectPose(buffer.lookupTransform("nowhere", "nowhere", at(1.0)), Eigen::Isometry3d::Identity());
  EXPECT_TRUE(buffer.canTransform("", "", at(1.0)));
}

TEST_F(ThreeFrameChain, RefusesTimesOutsideTheCachedSamples)
{
  EXPECT_EQ(
    lookupFailure<tf2::ExtrapolationException>(buffer, "world", "camera_link", at(5.0)),
    "Lookup would require extrapolation into the future.  Requested time 5.000000 but the "
    "latest data is at time 3.000000, when looking up transform from frame [camera_link] to "
    "frame [world]");
  EXPECT_EQ(
    lookupFailure<tf2::ExtrapolationException>(buffer, "optical", "world", at(0.5)),
    "Lookup would require extrapolation into the past.  Requested time 0.500000 but the "
    "earliest data is at time 1.500000, when looking up transform from frame [world] to "
    "frame [optical]");
  std::string error;
  EXPECT_FALSE(buffer.canTransform("world", "camera_link", at(5.0), &error));
  EXPECT_NE(error.find("extrapolation into the future"), std::string::npos) << error;
}

TEST_F(ThreeFrameChain, NamesAnUnknownFrame)
{
  EXPECT_EQ(
    lookupFailure<tf2::LookupException>(buffer, "base_link", "camera_link", tf2::TimePointZero),
    "\"base_link\" passed to lookupTransform argument target_frame does not exist. ");
  EXPECT_EQ(
    lookupFailure<tf2::LookupException>(buffer, "world", "camera", tf2::TimePointZero),
    "\"camera\" passed to lookupTransform argument source_frame does not exist. ");
  std::string error;
  EXPECT_FALSE(buffer.canTransform("base_link", "world", tf2::TimePointZero, &error));
  EXPECT_EQ(
    error,
    "Invalid frame ID \"base_link\" passed to canTransform argument target_frame - frame does "
    "not exist");
}

TEST_F(ThreeFrameChain, RejectsEmptyAndSlashedFrameIds)
{
  EXPECT_EQ(
    lookupFailure<tf2::InvalidArgumentException>(buffer, "", "camera_link", tf2::TimePointZero),
    "Invalid argument \"\" passed to lookupTransform argument target_frame in tf2 frame_ids "
    "cannot be empty");
  EXPECT_EQ(
    lookupFailure<tf2::InvalidArgumentException>(buffer, "world", "", tf2::TimePointZero),
    "Invalid argument \"\" passed to lookupTransform argument source_frame in tf2 frame_ids "
    "cannot be empty");
  EXPECT_EQ(
    lookupFailure<tf2::InvalidArgumentException>(buffer, "/world", "optical", tf2::TimePointZero),
    "Invalid argument \"/world\" passed to lookupTransform argument target_frame in tf2 "
    "frame_ids cannot start with a '/'");
}

TEST_F(ThreeFrameChain, ReportsFramesInSeparateTrees)
{
  ASSERT_TRUE(buffer.setTransform(link("table", "cup", 0.0, {0, 0, 0}, 0.0), "test", true));
  const std::string text =
    "Could not find a connection between 'optical' and 'cup' because they are not part of the "
    "same tree.Tf has two or more unconnected trees.";
  EXPECT_EQ(
    lookupFailure<tf2::ConnectivityException>(buffer, "optical", "cup", tf2::TimePointZero), text);
  EXPECT_EQ(lookupFailure<tf2::ConnectivityException>(buffer, "optical", "cup", at(2.0)), text);
}

TEST(BufferCore, EveryFailureIsATransformException)
{
  tf2::BufferCore buffer;
  EXPECT_THROW(buffer.lookupTransform("a", "b", tf2::TimePointZero), tf2::TransformException);
  EXPECT_THROW(buffer.lookupTransform("", "b", tf2::TimePointZero), tf2::TransformException);
  const tf2::TimeoutException timeout("late");
  const tf2::TransformException & base = timeout;
  const std::runtime_error & runtime = base;
  EXPECT_STREQ(runtime.what(), "late");
}

TEST(BufferCore, ForgetsSamplesOlderThanTheCacheTime)
{
  tf2::BufferCore buffer(std::chrono::seconds(10));
  ASSERT_TRUE(buffer.setTransform(link("world", "tool", 0.25, {0, 0, 0}, 0.0), "test"));
  EXPECT_NO_THROW(buffer.lookupTransform("world", "tool", at(0.25)));
  ASSERT_TRUE(buffer.setTransform(link("world", "tool", 10.5, {1, 0, 0}, 0.0), "test"));
  EXPECT_THROW(buffer.lookupTransform("world", "tool", at(0.25)), tf2::ExtrapolationException);
  EXPECT_FALSE(buffer.setTransform(link("world", "tool", 0.2, {0, 0, 0}, 0.0), "test"));
  EXPECT_EQ(buffer.getCacheLength(), std::chrono::seconds(10));
}

TEST(BufferCore, RejectsMalformedSamples)
{
  tf2::BufferCore buffer;
  EXPECT_FALSE(buffer.setTransform(link("a", "a", 1.0, {0, 0, 0}, 0.0), "test"));
  EXPECT_FALSE(buffer.setTransform(link("", "a", 1.0, {0, 0, 0}, 0.0), "test"));
  EXPECT_FALSE(buffer.setTransform(link("a", "", 1.0, {0, 0, 0}, 0.0), "test"));
  EXPECT_FALSE(buffer.setTransform(link("a", "b", 1.0, {NAN, 0, 0}, 0.0), "test"));
  auto doubled = link("a", "b", 1.0, {0, 0, 0}, 0.0);
  doubled.transform.rotation.w = 2.0;
  EXPECT_FALSE(buffer.setTransform(doubled, "test"));
  EXPECT_FALSE(buffer._frameExists("b"));

  // A leading slash is dropped from stored frame ids.
  ASSERT_TRUE(buffer.setTransform(link("/a", "/b", 1.0, {0, 0, 0}, 0.0), "test"));
  EXPECT_TRUE(buffer._frameExists("b"));
  EXPECT_EQ(buffer.allFramesAsString(), "Frame b exists with parent a.\n");
}

TEST(BufferCore, ClearForgetsSamplesButKeepsFrames)
{
  tf2::BufferCore buffer;
  ASSERT_TRUE(buffer.setTransform(link("a", "b", 1.0, {0, 0, 0}, 0.0), "test"));
  buffer.clear();
  EXPECT_TRUE(buffer._frameExists("b"));
  EXPECT_FALSE(buffer.canTransform("a", "b", tf2::TimePointZero));
  ASSERT_TRUE(buffer.setTransform(link("a", "b", 0.5, {0, 0, 0}, 0.0), "test"));
  EXPECT_TRUE(buffer.canTransform("a", "b", tf2::TimePointZero));
}

}  // namespace
