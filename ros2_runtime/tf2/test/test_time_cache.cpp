// The per-frame history: what one link answers for a time.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tf2/time_cache.h"

namespace
{

tf2::TimePoint at(double seconds)
{
  return tf2::timeFromSec(seconds);
}

tf2::TransformStorage sample(double seconds, double x, double yaw, tf2::CompactFrameID parent = 1)
{
  return tf2::TransformStorage(
    at(seconds), Eigen::Quaterniond(Eigen::AngleAxisd(yaw, Eigen::Vector3d::UnitZ())),
    Eigen::Vector3d(x, 0.0, 0.0), parent, 2);
}

TEST(TimeCache, InterpolatesTranslationLinearlyAndRotationSpherically)
{
  tf2::TimeCache cache;
  ASSERT_TRUE(cache.insertData(sample(1.0, 1.0, 0.0)));
  ASSERT_TRUE(cache.insertData(sample(2.0, 3.0, M_PI / 2)));

  tf2::TransformStorage out;
  ASSERT_TRUE(cache.getData(at(1.25), out));
  EXPECT_NEAR(out.translation_.x(), 1.5, 1e-12);
  // A quarter of the way through a 90 degree turn about z.
  EXPECT_NEAR(out.rotation_.w(), std::cos(M_PI / 16), 1e-12);
  EXPECT_NEAR(out.rotation_.z(), std::sin(M_PI / 16), 1e-12);
}

TEST(TimeCache, AnswersTimeZeroWithTheNewestSample)
{
  tf2::TimeCache cache;
  cache.insertData(sample(2.0, 2.0, 0.0));
  cache.insertData(sample(1.0, 1.0, 0.0));
  tf2::TransformStorage out;
  ASSERT_TRUE(cache.getData(tf2::TimePointZero, out));
  EXPECT_EQ(out.translation_.x(), 2.0);
  EXPECT_EQ(cache.getLatestTimeAndParent().first, at(2.0));
}

TEST(TimeCache, RefusesTimesOutsideItsSamples)
{
  tf2::TimeCache cache;
  tf2::TransformStorage out;
  std::string error;
  cache.insertData(sample(1.0, 1.0, 0.0));
  EXPECT_FALSE(cache.getData(at(1.5), out, &error));
  EXPECT_EQ(
    error, "Lookup would require extrapolation at time 1.500000, but only time 1.000000 is in "
    "the buffer");

  cache.insertData(sample(2.0, 2.0, 0.0));
  EXPECT_FALSE(cache.getData(at(2.5), out, &error));
  EXPECT_EQ(
    error, "Lookup would require extrapolation into the future.  Requested time 2.500000 but "
    "the latest data is at time 2.000000");
  EXPECT_FALSE(cache.getData(at(0.5), out, &error));
  EXPECT_EQ(
    error, "Lookup would require extrapolation into the past.  Requested time 0.500000 but the "
    "earliest data is at time 1.000000");
}

TEST(TimeCache, KeepsOnlyItsStorageTimeBehindTheNewestSample)
{
  tf2::TimeCache cache;  // 10 s
  cache.insertData(sample(0.0, 0.0, 0.0));
  cache.insertData(sample(10.0, 10.0, 0.0));
  EXPECT_EQ(cache.getListLength(), 2u);
  cache.insertData(sample(10.5, 10.5, 0.0));
  EXPECT_EQ(cache.getListLength(), 2u);
  EXPECT_EQ(cache.getOldestTimestamp(), at(10.0));
  // Older than the window: refused outright.
  EXPECT_FALSE(cache.insertData(sample(0.4, 0.0, 0.0)));
}

TEST(TimeCache, DoesNotInterpolateAcrossAChangeOfParent)
{
  tf2::TimeCache cache;
  cache.insertData(sample(1.0, 1.0, 0.0, 1));
  cache.insertData(sample(2.0, 2.0, 0.0, 3));
  tf2::TransformStorage out;
  ASSERT_TRUE(cache.getData(at(1.5), out));
  EXPECT_EQ(out.frame_id_, 1u);
  EXPECT_EQ(out.translation_.x(), 1.0);
}

TEST(StaticCache, AnswersEveryTimeWithItsOneSample)
{
  tf2::StaticCache cache;
  cache.insertData(sample(5.0, 4.0, 0.0));
  tf2::TransformStorage out;
  ASSERT_TRUE(cache.getData(at(1000.0), out));
  EXPECT_EQ(out.translation_.x(), 4.0);
  EXPECT_EQ(out.stamp_, at(1000.0));
  EXPECT_EQ(cache.getLatestTimeAndParent().first, tf2::TimePointZero);
}

TEST(Time, DurationFromSecondsKeepsNanoseconds)
{
  EXPECT_EQ(tf2::durationFromSec(0.2), std::chrono::milliseconds(200));
  EXPECT_EQ(tf2::durationFromSec(1.999999999999), std::chrono::seconds(2));
  EXPECT_EQ(tf2::durationFromSec(-0.5), -std::chrono::milliseconds(500));
  EXPECT_DOUBLE_EQ(tf2::durationToSec(std::chrono::milliseconds(1500)), 1.5);
  EXPECT_EQ(tf2::displayTimePoint(at(3.25)), "3.250000");
}

}  // namespace
