// What an encoding name says about its pixels.

#include <gtest/gtest.h>

#include <stdexcept>

#include "sensor_msgs/image_encodings.hpp"

namespace enc = sensor_msgs::image_encodings;

TEST(ImageEncodings, DepthImagesAreOneSixteenBitChannel)
{
  EXPECT_EQ(enc::numChannels(enc::TYPE_16UC1), 1);
  EXPECT_EQ(enc::bitDepth(enc::TYPE_16UC1), 16);
  EXPECT_EQ(enc::bitDepth(enc::TYPE_32FC1), 32);
  EXPECT_FALSE(enc::isColor(enc::TYPE_16UC1));
  EXPECT_FALSE(enc::isMono(enc::TYPE_16UC1));
}

TEST(ImageEncodings, NamedEncodingsKnowTheirChannelsAndDepth)
{
  EXPECT_EQ(enc::numChannels(enc::BGR8), 3);
  EXPECT_EQ(enc::numChannels(enc::RGBA16), 4);
  EXPECT_EQ(enc::bitDepth(enc::RGBA16), 16);
  EXPECT_EQ(enc::numChannels(enc::BAYER_GRBG16), 1);
  EXPECT_EQ(enc::numChannels(enc::YUV422), 2);
  EXPECT_TRUE(enc::isColor(enc::BGRA8));
  EXPECT_TRUE(enc::hasAlpha(enc::BGRA8));
  EXPECT_TRUE(enc::isMono(enc::MONO16));
  EXPECT_TRUE(enc::isBayer(enc::BAYER_RGGB8));
  EXPECT_FALSE(enc::isBayer("bayer_xyz8"));
}

TEST(ImageEncodings, MatrixTypesMayNameAnyChannelCount)
{
  EXPECT_EQ(enc::numChannels("8UC"), 1);
  EXPECT_EQ(enc::numChannels("64FC10"), 10);
  EXPECT_EQ(enc::bitDepth("64FC10"), 64);
}

TEST(ImageEncodings, RefusesUnknownNames)
{
  EXPECT_THROW(enc::numChannels("16UD1"), std::runtime_error);
  EXPECT_THROW(enc::bitDepth("depth"), std::runtime_error);
  EXPECT_THROW(enc::numChannels("12UC1"), std::runtime_error);
}
