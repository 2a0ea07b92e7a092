// What each encoding name means in channels and bits.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "sensor_msgs/image_encodings.hpp"

namespace enc = sensor_msgs::image_encodings;

namespace
{

TEST(ImageEncodings, CountsChannelsOfNamedAndMatrixEncodings)
{
  EXPECT_EQ(enc::numChannels(enc::MONO16), 1);
  EXPECT_EQ(enc::numChannels(enc::BGR8), 3);
  EXPECT_EQ(enc::numChannels(enc::RGBA16), 4);
  EXPECT_EQ(enc::numChannels(enc::BAYER_GRBG8), 1);
  EXPECT_EQ(enc::numChannels(enc::YUV422), 2);
  EXPECT_EQ(enc::numChannels(enc::TYPE_16UC1), 1);
  EXPECT_EQ(enc::numChannels(enc::TYPE_32FC3), 3);
  EXPECT_EQ(enc::numChannels("8UC7"), 7);
  EXPECT_EQ(enc::numChannels("64FC"), 1);
}

TEST(ImageEncodings, GivesBitsPerChannel)
{
  EXPECT_EQ(enc::bitDepth(enc::MONO8), 8);
  EXPECT_EQ(enc::bitDepth(enc::MONO16), 16);
  EXPECT_EQ(enc::bitDepth(enc::BGRA16), 16);
  EXPECT_EQ(enc::bitDepth(enc::TYPE_8SC2), 8);
  EXPECT_EQ(enc::bitDepth(enc::TYPE_16UC1), 16);
  EXPECT_EQ(enc::bitDepth(enc::TYPE_16SC4), 16);
  EXPECT_EQ(enc::bitDepth(enc::TYPE_32SC1), 32);
  EXPECT_EQ(enc::bitDepth(enc::TYPE_32FC1), 32);
  EXPECT_EQ(enc::bitDepth(enc::TYPE_64FC2), 64);
  EXPECT_EQ(enc::bitDepth(enc::YUV422_YUY2), 8);
}

TEST(ImageEncodings, TellsColourFromMonoFromPlainMatrices)
{
  EXPECT_TRUE(enc::isColor(enc::RGB8));
  EXPECT_TRUE(enc::isColor(enc::BGRA16));
  EXPECT_FALSE(enc::isColor(enc::MONO8));
  EXPECT_TRUE(enc::isMono(enc::MONO16));
  EXPECT_FALSE(enc::isMono(enc::TYPE_16UC1));
  EXPECT_TRUE(enc::isBayer(enc::BAYER_RGGB16));
  EXPECT_TRUE(enc::hasAlpha(enc::RGBA8));
  EXPECT_FALSE(enc::hasAlpha(enc::RGB8));
}

TEST(ImageEncodings, RefusesUnknownNames)
{
  try {
    enc::numChannels("depth");
    FAIL();
  } catch (const std::runtime_error & e) {
    EXPECT_STREQ(e.what(), "Unknown encoding depth");
  }
  EXPECT_THROW(enc::bitDepth("16UC0"), std::runtime_error);
}

}  // namespace
