// Images in and out of OpenCV: the depth encodings, byte order, colour
// conversions and malformed messages. Pixel values are written as bytes in
// the test and read back as numbers.

#include <gtest/gtest.h>

#include <opencv2/core/core.hpp>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cv_bridge/cv_bridge.h"

namespace enc = sensor_msgs::image_encodings;

namespace
{

const bool kBigEndianHost = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

sensor_msgs::msg::Image image(
  const std::string & encoding, uint32_t height, uint32_t width, uint32_t step,
  std::vector<uint8_t> data, bool big_endian = kBigEndianHost)
{
  sensor_msgs::msg::Image msg;
  msg.header.frame_id = "camera_depth_optical_frame";
  msg.header.stamp.sec = 12;
  msg.header.stamp.nanosec = 34;
  msg.height = height;
  msg.width = width;
  msg.encoding = encoding;
  msg.is_bigendian = big_endian;
  msg.step = step;
  msg.data = std::move(data);
  return msg;
}

// Little-endian bytes of 16-bit values, the usual depth camera layout.
std::vector<uint8_t> le16(const std::vector<uint16_t> & values)
{
  std::vector<uint8_t> bytes;
  for (uint16_t v : values) {
    bytes.push_back(static_cast<uint8_t>(v & 0xff));
    bytes.push_back(static_cast<uint8_t>(v >> 8));
  }
  return bytes;
}

std::string failure(const sensor_msgs::msg::Image & msg, const std::string & encoding = "")
{
  try {
    cv_bridge::toCvCopy(msg, encoding);
  } catch (const cv_bridge::Exception & e) {
    return e.what();
  }
  ADD_FAILURE() << "no cv_bridge::Exception";
  return "";
}

class DepthImages : public ::testing::Test
{
protected:
  // 2 rows of 3 millimetre depths, little-endian.
  sensor_msgs::msg::Image depth = image(
    enc::TYPE_16UC1, 2, 3, 6, le16({0, 1, 1000, 65535, 258, 4660}), false);
};

TEST_F(DepthImages, CopiesSixteenBitDepthInItsOwnEncoding)
{
  for (const char * encoding : {enc::TYPE_16UC1, enc::MONO16}) {
    depth.encoding = encoding;
    const cv_bridge::CvImagePtr cv = cv_bridge::toCvCopy(depth, depth.encoding);
    ASSERT_EQ(cv->image.type(), CV_16UC1);
    ASSERT_EQ(cv->image.rows, 2);
    ASSERT_EQ(cv->image.cols, 3);
    if (!kBigEndianHost) {
      EXPECT_EQ(cv->image.at<uint16_t>(0, 0), 0);
      EXPECT_EQ(cv->image.at<uint16_t>(0, 1), 1);
      EXPECT_EQ(cv->image.at<uint16_t>(0, 2), 1000);
      EXPECT_EQ(cv->image.at<uint16_t>(1, 0), 65535);
      EXPECT_EQ(cv->image.at<uint16_t>(1, 1), 258);
      EXPECT_EQ(cv->image.at<uint16_t>(1, 2), 4660);
    }
    EXPECT_EQ(cv->encoding, encoding);
    EXPECT_EQ(cv->header.frame_id, "camera_depth_optical_frame");
    EXPECT_EQ(cv->header.stamp.sec, 12);
    EXPECT_EQ(cv->header.stamp.nanosec, 34u);
  }
}

TEST_F(DepthImages, CopyOwnsItsPixels)
{
  const cv_bridge::CvImagePtr cv = cv_bridge::toCvCopy(depth);
  EXPECT_NE(cv->image.data, depth.data.data());
  cv->image.at<uint16_t>(0, 0) = 7;
  EXPECT_EQ(depth.data[0], 0);
}

TEST_F(DepthImages, SkipsRowPadding)
{
  // Rows of 3 pixels padded to 8 bytes.
  depth = image(enc::TYPE_16UC1, 2, 3, 8, {1, 0, 2, 0, 3, 0, 0xee, 0xee, 4, 0, 5, 0, 6, 0, 0xee, 0xee},
      false);
  const cv_bridge::CvImagePtr cv = cv_bridge::toCvCopy(depth);
  if (!kBigEndianHost) {
    EXPECT_EQ(cv->image.at<uint16_t>(1, 0), 4);
    EXPECT_EQ(cv->image.at<uint16_t>(1, 2), 6);
  }
}

TEST_F(DepthImages, SwapsBigEndianSamples)
{
  // 0x0102 = 258 and 0xff00 = 65280 written most significant byte first.
  const auto msg = image(enc::TYPE_16UC1, 1, 2, 4, {0x01, 0x02, 0xff, 0x00}, true);
  const cv_bridge::CvImagePtr cv = cv_bridge::toCvCopy(msg);
  ASSERT_EQ(cv->image.type(), CV_16UC1);
  EXPECT_EQ(cv->image.at<uint16_t>(0, 0), 258);
  EXPECT_EQ(cv->image.at<uint16_t>(0, 1), 65280);

  // 1.5f is 0x3fc00000.
  const auto floats = image(enc::TYPE_32FC1, 1, 1, 4, {0x3f, 0xc0, 0x00, 0x00}, true);
  const cv_bridge::CvImageConstPtr shared = cv_bridge::toCvShare(floats, nullptr);
  ASSERT_EQ(shared->image.type(), CV_32FC1);
  EXPECT_EQ(shared->image.at<float>(0, 0), 1.5f);
  EXPECT_NE(shared->image.data, floats.data.data());
}

TEST_F(DepthImages, ReadsFloatMetres)
{
  const float values[2] = {0.25f, 65.535f};
  std::vector<uint8_t> bytes(sizeof(values));
  std::memcpy(bytes.data(), values, sizeof(values));
  const auto msg = image(enc::TYPE_32FC1, 1, 2, 8, bytes);
  const cv_bridge::CvImagePtr cv = cv_bridge::toCvCopy(msg);
  ASSERT_EQ(cv->image.type(), CV_32FC1);
  EXPECT_EQ(cv->image.at<float>(0, 0), 0.25f);
  EXPECT_EQ(cv->image.at<float>(0, 1), 65.535f);
}

TEST_F(DepthImages, ConvertsMillimetresToFloatWithoutScaling)
{
  const cv_bridge::CvImagePtr cv = cv_bridge::toCvCopy(depth, enc::TYPE_32FC1);
  ASSERT_EQ(cv->image.type(), CV_32FC1);
  if (!kBigEndianHost) {
    EXPECT_EQ(cv->image.at<float>(0, 2), 1000.0f);
    EXPECT_EQ(cv->image.at<float>(1, 0), 65535.0f);
  }
}

TEST_F(DepthImages, HandlesAnImageWithoutPixels)
{
  const auto empty = image(enc::TYPE_16UC1, 0, 640, 1280, {});
  EXPECT_TRUE(cv_bridge::toCvCopy(empty)->image.empty());
  const auto narrow = image(enc::TYPE_16UC1, 480, 0, 0, {});
  EXPECT_TRUE(cv_bridge::toCvCopy(narrow)->image.empty());
}

TEST_F(DepthImages, SharesTheMessageWhenNothingChanges)
{
  auto msg = std::make_shared<sensor_msgs::msg::Image>(depth);
  msg->is_bigendian = kBigEndianHost;
  const sensor_msgs::msg::Image::ConstSharedPtr shared_msg = msg;
  const cv_bridge::CvImageConstPtr cv = cv_bridge::toCvShare(shared_msg);
  EXPECT_EQ(cv->image.data, msg->data.data());
  EXPECT_NE(cv_bridge::toCvCopy(shared_msg)->image.data, msg->data.data());
  EXPECT_NE(cv_bridge::toCvShare(shared_msg, enc::TYPE_32FC1)->image.data, msg->data.data());
}

TEST(MalformedImages, RefusesDataShorterThanStepTimesHeight)
{
  const auto msg = image(enc::TYPE_16UC1, 2, 3, 6, std::vector<uint8_t>(11));
  EXPECT_EQ(failure(msg), "Image is wrongly formed: height * step != size  or  2 * 6 != 11");
  const auto longer = image(enc::MONO8, 2, 3, 3, std::vector<uint8_t>(7));
  EXPECT_EQ(failure(longer), "Image is wrongly formed: height * step != size  or  2 * 3 != 7");
}

TEST(MalformedImages, RefusesAStepShorterThanARow)
{
  const auto msg = image(enc::TYPE_16UC1, 2, 3, 4, std::vector<uint8_t>(8));
  EXPECT_EQ(
    failure(msg),
    "Image is wrongly formed: step < width * byte_depth * num_channels  or  4 != 3 * 2 * 1");
  const auto colour = image(enc::BGR8, 1, 2, 5, std::vector<uint8_t>(5));
  EXPECT_EQ(
    failure(colour),
    "Image is wrongly formed: step < width * byte_depth * num_channels  or  5 != 2 * 1 * 3");
}

TEST(MalformedImages, RefusesSizesWhoseProductOverflows32Bits)
{
  // 65536 * 65536 wraps to 0 in 32 bits; the data is still empty.
  const auto msg = image(enc::MONO8, 65536, 65536, 65536, {});
  EXPECT_EQ(failure(msg), "Image is wrongly formed: height * step != size  or  65536 * 65536 != 0");
}

TEST(MalformedImages, RefusesAnUnknownEncoding)
{
  const auto msg = image("z16", 1, 1, 2, {0, 0});
  EXPECT_EQ(failure(msg), "Unrecognized image encoding [z16]");
  EXPECT_THROW(cv_bridge::getCvType(""), cv_bridge::Exception);
}

TEST(ColourConversions, ReordersChannels)
{
  const auto bgr = image(enc::BGR8, 1, 2, 6, {10, 20, 30, 40, 50, 60});
  const cv_bridge::CvImagePtr rgb = cv_bridge::toCvCopy(bgr, enc::RGB8);
  EXPECT_EQ(rgb->encoding, enc::RGB8);
  EXPECT_EQ(rgb->image.at<cv::Vec3b>(0, 0), cv::Vec3b(30, 20, 10));
  EXPECT_EQ(rgb->image.at<cv::Vec3b>(0, 1), cv::Vec3b(60, 50, 40));

  const cv_bridge::CvImagePtr bgra = cv_bridge::toCvCopy(bgr, enc::BGRA8);
  EXPECT_EQ(bgra->image.at<cv::Vec4b>(0, 1), cv::Vec4b(40, 50, 60, 255));
}

TEST(ColourConversions, WeighsColoursIntoGrey)
{
  // Pure blue, green and red pixels.
  const auto bgr = image(enc::BGR8, 1, 3, 9, {255, 0, 0, 0, 255, 0, 0, 0, 255});
  const cv_bridge::CvImagePtr mono = cv_bridge::toCvCopy(bgr, enc::MONO8);
  ASSERT_EQ(mono->image.type(), CV_8UC1);
  EXPECT_NEAR(mono->image.at<uint8_t>(0, 0), 0.114 * 255, 1.0);
  EXPECT_NEAR(mono->image.at<uint8_t>(0, 1), 0.587 * 255, 1.0);
  EXPECT_NEAR(mono->image.at<uint8_t>(0, 2), 0.299 * 255, 1.0);
}

TEST(ColourConversions, ScalesBetweenEightAndSixteenBits)
{
  const auto mono16 = image(enc::MONO16, 1, 3, 6, le16({65535, 257, 0}), false);
  const cv_bridge::CvImagePtr mono8 = cv_bridge::toCvCopy(mono16, enc::MONO8);
  EXPECT_EQ(mono8->image.at<uint8_t>(0, 0), 255);
  EXPECT_EQ(mono8->image.at<uint8_t>(0, 1), 1);
  EXPECT_EQ(mono8->image.at<uint8_t>(0, 2), 0);

  const auto rgb = image(enc::RGB8, 1, 1, 3, {255, 0, 1});
  const cv_bridge::CvImagePtr bgr16 = cv_bridge::toCvCopy(rgb, enc::BGR16);
  ASSERT_EQ(bgr16->image.type(), CV_16UC3);
  EXPECT_EQ(bgr16->image.at<cv::Vec3w>(0, 0), cv::Vec3w(257, 0, 65535));
}

TEST(ColourConversions, DemosaicsBayer)
{
  const auto bayer = image(enc::BAYER_RGGB8, 4, 4, 4, std::vector<uint8_t>(16, 90));
  const cv_bridge::CvImagePtr mono = cv_bridge::toCvCopy(bayer, enc::MONO8);
  EXPECT_EQ(mono->image.at<uint8_t>(2, 2), 90);
}

TEST(ColourConversions, RefusesConversionsWithoutMeaning)
{
  const auto depth = image(enc::TYPE_16UC1, 1, 1, 2, {0, 0});
  EXPECT_EQ(
    failure(depth, enc::MONO8),
    "[16UC1] is not a color format. but [mono8] is. The conversion does not make sense");
  EXPECT_EQ(
    failure(depth, enc::TYPE_16UC3),
    "[16UC1] and [16UC3] do not have the same number of channel");
  const auto bgr = image(enc::BGR8, 1, 1, 3, {0, 0, 0});
  EXPECT_EQ(
    failure(bgr, enc::TYPE_16UC1),
    "[bgr8] is a color format but [16UC1] is not so they must have the same OpenCV type, "
    "CV_8UC3, CV16UC1 ....");
  EXPECT_EQ(failure(bgr, enc::BAYER_BGGR8), "Unsupported conversion from [bgr8] to [bayer_bggr8]");
}

TEST(ToImageMsg, PacksRowsAndKeepsHeaderAndEncoding)
{
  cv::Mat full(4, 5, CV_16UC1);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 5; ++c) {
      full.at<uint16_t>(r, c) = static_cast<uint16_t>(100 * r + c);
    }
  }
  std_msgs::msg::Header header;
  header.frame_id = "cam";
  header.stamp.sec = 5;
  // A 2x3 window into the matrix: its rows are not contiguous.
  const cv_bridge::CvImage cv(header, enc::TYPE_16UC1, full(cv::Rect(1, 1, 3, 2)));
  const sensor_msgs::msg::Image::SharedPtr msg = cv.toImageMsg();
  EXPECT_EQ(msg->height, 2u);
  EXPECT_EQ(msg->width, 3u);
  EXPECT_EQ(msg->step, 6u);
  EXPECT_EQ(msg->encoding, enc::TYPE_16UC1);
  EXPECT_EQ(msg->header.frame_id, "cam");
  EXPECT_EQ(msg->header.stamp.sec, 5);
  EXPECT_EQ(msg->is_bigendian, kBigEndianHost);
  ASSERT_EQ(msg->data.size(), 12u);
  uint16_t last;
  std::memcpy(&last, &msg->data[10], 2);
  EXPECT_EQ(last, 203);

  const cv_bridge::CvImagePtr back = cv_bridge::toCvCopy(*msg);
  EXPECT_EQ(cv::countNonZero(back->image != full(cv::Rect(1, 1, 3, 2))), 0);
}

}  // namespace
