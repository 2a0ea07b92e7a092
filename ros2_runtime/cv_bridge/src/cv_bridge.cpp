#include "cv_bridge/cv_bridge.h"

#include <opencv2/imgproc/imgproc.hpp>

#include <cstdint>
#include <cstring>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace enc = sensor_msgs::image_encodings;

namespace cv_bridge
{

namespace
{

constexpr bool kNativeBigEndian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

int depthStrToInt(const std::string & depth)
{
  if (depth == "8U") {return CV_8U;}
  if (depth == "8S") {return CV_8S;}
  if (depth == "16U") {return CV_16U;}
  if (depth == "16S") {return CV_16S;}
  if (depth == "32S") {return CV_32S;}
  if (depth == "32F") {return CV_32F;}
  return CV_64F;
}

// The colour model of an encoding, whatever its bit depth.
enum Encoding
{
  INVALID = -1, GRAY = 0, RGB, BGR, RGBA, BGRA, YUV422, YUV422_YUY2,
  BAYER_RGGB, BAYER_BGGR, BAYER_GBRG, BAYER_GRBG
};

Encoding getEncoding(const std::string & encoding)
{
  if (encoding == enc::MONO8 || encoding == enc::MONO16) {return GRAY;}
  if (encoding == enc::BGR8 || encoding == enc::BGR16) {return BGR;}
  if (encoding == enc::RGB8 || encoding == enc::RGB16) {return RGB;}
  if (encoding == enc::BGRA8 || encoding == enc::BGRA16) {return BGRA;}
  if (encoding == enc::RGBA8 || encoding == enc::RGBA16) {return RGBA;}
  if (encoding == enc::YUV422) {return YUV422;}
  if (encoding == enc::YUV422_YUY2) {return YUV422_YUY2;}
  if (encoding == enc::BAYER_RGGB8 || encoding == enc::BAYER_RGGB16) {return BAYER_RGGB;}
  if (encoding == enc::BAYER_BGGR8 || encoding == enc::BAYER_BGGR16) {return BAYER_BGGR;}
  if (encoding == enc::BAYER_GBRG8 || encoding == enc::BAYER_GBRG16) {return BAYER_GBRG;}
  if (encoding == enc::BAYER_GRBG8 || encoding == enc::BAYER_GRBG16) {return BAYER_GRBG;}
  return INVALID;
}

// A step that only changes the depth, not the colour model.
constexpr int SAME_FORMAT = -1;

std::map<std::pair<Encoding, Encoding>, std::vector<int>> makeConversionCodes()
{
  std::map<std::pair<Encoding, Encoding>, std::vector<int>> res;
  for (int i = 0; i <= 5; ++i) {
    res[{Encoding(i), Encoding(i)}].push_back(SAME_FORMAT);
  }
  res[{GRAY, RGB}] = {cv::COLOR_GRAY2RGB};
  res[{GRAY, BGR}] = {cv::COLOR_GRAY2BGR};
  res[{GRAY, RGBA}] = {cv::COLOR_GRAY2RGBA};
  res[{GRAY, BGRA}] = {cv::COLOR_GRAY2BGRA};
  res[{RGB, GRAY}] = {cv::COLOR_RGB2GRAY};
  res[{RGB, BGR}] = {cv::COLOR_RGB2BGR};
  res[{RGB, RGBA}] = {cv::COLOR_RGB2RGBA};
  res[{RGB, BGRA}] = {cv::COLOR_RGB2BGRA};
  res[{BGR, GRAY}] = {cv::COLOR_BGR2GRAY};
  res[{BGR, RGB}] = {cv::COLOR_BGR2RGB};
  res[{BGR, RGBA}] = {cv::COLOR_BGR2RGBA};
  res[{BGR, BGRA}] = {cv::COLOR_BGR2BGRA};
  res[{RGBA, GRAY}] = {cv::COLOR_RGBA2GRAY};
  res[{RGBA, RGB}] = {cv::COLOR_RGBA2RGB};
  res[{RGBA, BGR}] = {cv::COLOR_RGBA2BGR};
  res[{RGBA, BGRA}] = {cv::COLOR_RGBA2BGRA};
  res[{BGRA, GRAY}] = {cv::COLOR_BGRA2GRAY};
  res[{BGRA, RGB}] = {cv::COLOR_BGRA2RGB};
  res[{BGRA, BGR}] = {cv::COLOR_BGRA2BGR};
  res[{BGRA, RGBA}] = {cv::COLOR_BGRA2RGBA};
  res[{YUV422, GRAY}] = {cv::COLOR_YUV2GRAY_UYVY};
  res[{YUV422, RGB}] = {cv::COLOR_YUV2RGB_UYVY};
  res[{YUV422, BGR}] = {cv::COLOR_YUV2BGR_UYVY};
  res[{YUV422, RGBA}] = {cv::COLOR_YUV2RGBA_UYVY};
  res[{YUV422, BGRA}] = {cv::COLOR_YUV2BGRA_UYVY};
  res[{YUV422_YUY2, GRAY}] = {cv::COLOR_YUV2GRAY_YUY2};
  res[{YUV422_YUY2, RGB}] = {cv::COLOR_YUV2RGB_YUY2};
  res[{YUV422_YUY2, BGR}] = {cv::COLOR_YUV2BGR_YUY2};
  res[{YUV422_YUY2, RGBA}] = {cv::COLOR_YUV2RGBA_YUY2};
  res[{YUV422_YUY2, BGRA}] = {cv::COLOR_YUV2BGRA_YUY2};
  // OpenCV names a Bayer pattern by its second row.
  res[{BAYER_RGGB, GRAY}] = {cv::COLOR_BayerBG2GRAY};
  res[{BAYER_RGGB, RGB}] = {cv::COLOR_BayerBG2RGB};
  res[{BAYER_RGGB, BGR}] = {cv::COLOR_BayerBG2BGR};
  res[{BAYER_BGGR, GRAY}] = {cv::COLOR_BayerRG2GRAY};
  res[{BAYER_BGGR, RGB}] = {cv::COLOR_BayerRG2RGB};
  res[{BAYER_BGGR, BGR}] = {cv::COLOR_BayerRG2BGR};
  res[{BAYER_GBRG, GRAY}] = {cv::COLOR_BayerGR2GRAY};
  res[{BAYER_GBRG, RGB}] = {cv::COLOR_BayerGR2RGB};
  res[{BAYER_GBRG, BGR}] = {cv::COLOR_BayerGR2BGR};
  res[{BAYER_GRBG, GRAY}] = {cv::COLOR_BayerGB2GRAY};
  res[{BAYER_GRBG, RGB}] = {cv::COLOR_BayerGB2RGB};
  res[{BAYER_GRBG, BGR}] = {cv::COLOR_BayerGB2BGR};
  return res;
}

bool hasColorModel(const std::string & encoding)
{
  return enc::isColor(encoding) || enc::isMono(encoding) || enc::isBayer(encoding) ||
         encoding == enc::YUV422 || encoding == enc::YUV422_YUY2;
}

// The cvtColor codes, with SAME_FORMAT for a change of depth, that turn
// src_encoding into dst_encoding.
std::vector<int> getConversionCode(
  const std::string & src_encoding, const std::string & dst_encoding)
{
  const bool is_src_color_format = hasColorModel(src_encoding);
  const bool is_dst_color_format = hasColorModel(dst_encoding);
  const bool is_num_channels_the_same =
    enc::numChannels(src_encoding) == enc::numChannels(dst_encoding);

  if (!is_src_color_format) {
    if (is_dst_color_format) {
      throw Exception(
              "[" + src_encoding + "] is not a color format. but [" + dst_encoding +
              "] is. The conversion does not make sense");
    }
    if (!is_num_channels_the_same) {
      throw Exception(
              "[" + src_encoding + "] and [" + dst_encoding +
              "] do not have the same number of channel");
    }
    return {SAME_FORMAT};
  }

  if (!is_dst_color_format) {
    if (!is_num_channels_the_same) {
      throw Exception(
              "[" + src_encoding + "] is a color format but [" + dst_encoding + "] " +
              "is not so they must have the same OpenCV type, CV_8UC3, CV16UC1 ....");
    }
    return {SAME_FORMAT};
  }

  static const auto conversion_codes = makeConversionCodes();
  const auto val = conversion_codes.find({getEncoding(src_encoding), getEncoding(dst_encoding)});
  if (val == conversion_codes.end()) {
    throw Exception(
            "Unsupported conversion from [" + src_encoding + "] to [" + dst_encoding + "]");
  }
  std::vector<int> res = val->second;
  if (enc::bitDepth(src_encoding) != enc::bitDepth(dst_encoding) &&
    getEncoding(src_encoding) != getEncoding(dst_encoding))
  {
    res.push_back(SAME_FORMAT);
  }
  return res;
}

// The message's pixels as a matrix: a view of its data when it is in this
// machine's byte order, a byte-swapped copy otherwise. Nothing is read
// before the message's sizes are known to agree with its data.
cv::Mat matFromImage(const sensor_msgs::msg::Image & source)
{
  const int source_type = getCvType(source.encoding);
  const int byte_depth = enc::bitDepth(source.encoding) / 8;
  const int num_channels = enc::numChannels(source.encoding);

  const uint64_t min_step = uint64_t{source.width} * byte_depth * num_channels;
  if (source.step < min_step) {
    std::stringstream ss;
    ss << "Image is wrongly formed: step < width * byte_depth * num_channels  or  " <<
      source.step << " != " << source.width << " * " << byte_depth << " * " << num_channels;
    throw Exception(ss.str());
  }
  if (uint64_t{source.height} * source.step != source.data.size()) {
    std::stringstream ss;
    ss << "Image is wrongly formed: height * step != size  or  " << source.height << " * " <<
      source.step << " != " << source.data.size();
    throw Exception(ss.str());
  }

  uchar * data = const_cast<uchar *>(source.data.data());
  const cv::Mat mat(source.height, source.width, source_type, data, source.step);
  if (byte_depth == 1 || static_cast<bool>(source.is_bigendian) == kNativeBigEndian) {
    return mat;
  }

  // Reverse the bytes of every channel: read the pixels as bytes, write
  // them as bytes into a matrix of the proper type.
  cv::Mat swapped(source.height, source.width, source_type);
  const int bytes_per_pixel = num_channels * byte_depth;
  const cv::Mat src_bytes(
    source.height, source.width, CV_MAKETYPE(CV_8U, bytes_per_pixel), data, source.step);
  cv::Mat dst_bytes(
    source.height, source.width, CV_MAKETYPE(CV_8U, bytes_per_pixel), swapped.data,
    swapped.step);
  std::vector<int> from_to;
  from_to.reserve(2 * bytes_per_pixel);
  for (int i = 0; i < num_channels; ++i) {
    for (int j = 0; j < byte_depth; ++j) {
      from_to.push_back(byte_depth * i + j);
      from_to.push_back(byte_depth * i + byte_depth - 1 - j);
    }
  }
  cv::mixChannels(&src_bytes, 1, &dst_bytes, 1, from_to.data(), bytes_per_pixel);
  return swapped;
}

CvImagePtr toCvCopyImpl(
  const cv::Mat & source, const std_msgs::msg::Header & src_header,
  const std::string & src_encoding, const std::string & dst_encoding)
{
  auto ptr = std::make_shared<CvImage>();
  ptr->header = src_header;

  if (dst_encoding.empty() || dst_encoding == src_encoding) {
    ptr->encoding = src_encoding;
    source.copyTo(ptr->image);
    return ptr;
  }

  cv::Mat image1 = source;
  cv::Mat image2;
  for (const int conversion_code : getConversionCode(src_encoding, dst_encoding)) {
    if (conversion_code == SAME_FORMAT) {
      const int src_depth = enc::bitDepth(src_encoding);
      const int dst_depth = enc::bitDepth(dst_encoding);
      const int image2_type = CV_MAKETYPE(CV_MAT_DEPTH(getCvType(dst_encoding)), image1.channels());
      // 8 and 16 bit images span their full ranges.
      if (src_depth == 8 && dst_depth == 16) {
        image1.convertTo(image2, image2_type, 65535. / 255.);
      } else if (src_depth == 16 && dst_depth == 8) {
        image1.convertTo(image2, image2_type, 255. / 65535.);
      } else {
        image1.convertTo(image2, image2_type);
      }
    } else {
      cv::cvtColor(image1, image2, conversion_code);
    }
    image1 = image2;
  }
  ptr->image = image2;
  ptr->encoding = dst_encoding;
  return ptr;
}

}  // namespace

int getCvType(const std::string & encoding)
{
  if (encoding == enc::BGR8) {return CV_8UC3;}
  if (encoding == enc::MONO8) {return CV_8UC1;}
  if (encoding == enc::RGB8) {return CV_8UC3;}
  if (encoding == enc::MONO16) {return CV_16UC1;}
  if (encoding == enc::BGR16) {return CV_16UC3;}
  if (encoding == enc::RGB16) {return CV_16UC3;}
  if (encoding == enc::BGRA8) {return CV_8UC4;}
  if (encoding == enc::RGBA8) {return CV_8UC4;}
  if (encoding == enc::BGRA16) {return CV_16UC4;}
  if (encoding == enc::RGBA16) {return CV_16UC4;}

  if (encoding == enc::BAYER_RGGB8 || encoding == enc::BAYER_BGGR8 ||
    encoding == enc::BAYER_GBRG8 || encoding == enc::BAYER_GRBG8)
  {
    return CV_8UC1;
  }
  if (encoding == enc::BAYER_RGGB16 || encoding == enc::BAYER_BGGR16 ||
    encoding == enc::BAYER_GBRG16 || encoding == enc::BAYER_GRBG16)
  {
    return CV_16UC1;
  }
  if (encoding == enc::YUV422 || encoding == enc::YUV422_YUY2) {
    return CV_8UC2;
  }

  std::smatch m;
  static const std::regex with_channels("(8U|8S|16U|16S|32S|32F|64F)C([0-9]+)");
  static const std::regex without_channels("(8U|8S|16U|16S|32S|32F|64F)");
  if (std::regex_match(encoding, m, with_channels)) {
    return CV_MAKETYPE(depthStrToInt(m[1].str()), std::atoi(m[2].str().c_str()));
  }
  if (std::regex_match(encoding, m, without_channels)) {
    return CV_MAKETYPE(depthStrToInt(m[1].str()), 1);
  }
  throw Exception("Unrecognized image encoding [" + encoding + "]");
}

sensor_msgs::msg::Image::SharedPtr CvImage::toImageMsg() const
{
  auto ptr = std::make_shared<sensor_msgs::msg::Image>();
  toImageMsg(*ptr);
  return ptr;
}

void CvImage::toImageMsg(sensor_msgs::msg::Image & ros_image) const
{
  ros_image.header = header;
  ros_image.height = image.rows;
  ros_image.width = image.cols;
  ros_image.encoding = encoding;
  ros_image.is_bigendian = kNativeBigEndian;
  ros_image.step = static_cast<uint32_t>(image.cols * image.elemSize());
  ros_image.data.resize(std::size_t{ros_image.step} * image.rows);
  for (int i = 0; i < image.rows; ++i) {
    std::memcpy(&ros_image.data[std::size_t{ros_image.step} * i], image.ptr(i), ros_image.step);
  }
}

CvImagePtr toCvCopy(
  const sensor_msgs::msg::Image::ConstSharedPtr & source, const std::string & encoding)
{
  return toCvCopy(*source, encoding);
}

CvImagePtr toCvCopy(const sensor_msgs::msg::Image & source, const std::string & encoding)
{
  return toCvCopyImpl(matFromImage(source), source.header, source.encoding, encoding);
}

CvImageConstPtr toCvShare(
  const sensor_msgs::msg::Image::ConstSharedPtr & source, const std::string & encoding)
{
  return toCvShare(*source, source, encoding);
}

CvImageConstPtr toCvShare(
  const sensor_msgs::msg::Image & source, const std::shared_ptr<void const> & tracked_object,
  const std::string & encoding)
{
  if ((!encoding.empty() && source.encoding != encoding) ||
    static_cast<bool>(source.is_bigendian) != kNativeBigEndian)
  {
    return toCvCopy(source, encoding);
  }
  auto ptr = std::make_shared<CvImage>();
  ptr->header = source.header;
  ptr->encoding = source.encoding;
  ptr->tracked_object_ = tracked_object;
  ptr->image = matFromImage(source);
  return ptr;
}

CvImagePtr cvtColor(const CvImageConstPtr & source, const std::string & encoding)
{
  return toCvCopyImpl(source->image, source->header, source->encoding, encoding);
}

}  // namespace cv_bridge
