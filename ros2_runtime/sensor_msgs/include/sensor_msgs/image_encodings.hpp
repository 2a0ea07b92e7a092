#ifndef SENSOR_MSGS__IMAGE_ENCODINGS_HPP_
#define SENSOR_MSGS__IMAGE_ENCODINGS_HPP_

// The names an Image's encoding field takes, and what they say about the
// pixels: channels, bits per channel, colour or mono.

#include <cstring>
#include <stdexcept>
#include <string>

namespace sensor_msgs
{
namespace image_encodings
{

const char RGB8[] = "rgb8";
const char RGBA8[] = "rgba8";
const char RGB16[] = "rgb16";
const char RGBA16[] = "rgba16";
const char BGR8[] = "bgr8";
const char BGRA8[] = "bgra8";
const char BGR16[] = "bgr16";
const char BGRA16[] = "bgra16";
const char MONO8[] = "mono8";
const char MONO16[] = "mono16";

// OpenCV matrix types: bits, U(nsigned)/S(igned)/F(loat), C and channels.
const char TYPE_8UC1[] = "8UC1";
const char TYPE_8UC2[] = "8UC2";
const char TYPE_8UC3[] = "8UC3";
const char TYPE_8UC4[] = "8UC4";
const char TYPE_8SC1[] = "8SC1";
const char TYPE_8SC2[] = "8SC2";
const char TYPE_8SC3[] = "8SC3";
const char TYPE_8SC4[] = "8SC4";
const char TYPE_16UC1[] = "16UC1";
const char TYPE_16UC2[] = "16UC2";
const char TYPE_16UC3[] = "16UC3";
const char TYPE_16UC4[] = "16UC4";
const char TYPE_16SC1[] = "16SC1";
const char TYPE_16SC2[] = "16SC2";
const char TYPE_16SC3[] = "16SC3";
const char TYPE_16SC4[] = "16SC4";
const char TYPE_32SC1[] = "32SC1";
const char TYPE_32SC2[] = "32SC2";
const char TYPE_32SC3[] = "32SC3";
const char TYPE_32SC4[] = "32SC4";
const char TYPE_32FC1[] = "32FC1";
const char TYPE_32FC2[] = "32FC2";
const char TYPE_32FC3[] = "32FC3";
const char TYPE_32FC4[] = "32FC4";
const char TYPE_64FC1[] = "64FC1";
const char TYPE_64FC2[] = "64FC2";
const char TYPE_64FC3[] = "64FC3";
const char TYPE_64FC4[] = "64FC4";

const char BAYER_RGGB8[] = "bayer_rggb8";
const char BAYER_BGGR8[] = "bayer_bggr8";
const char BAYER_GBRG8[] = "bayer_gbrg8";
const char BAYER_GRBG8[] = "bayer_grbg8";
const char BAYER_RGGB16[] = "bayer_rggb16";
const char BAYER_BGGR16[] = "bayer_bggr16";
const char BAYER_GBRG16[] = "bayer_gbrg16";
const char BAYER_GRBG16[] = "bayer_grbg16";

const char YUV422[] = "yuv422";
const char YUV422_YUY2[] = "yuv422_yuy2";
const char NV21[] = "nv21";
const char NV24[] = "nv24";

const char ABSTRACT_ENCODING_PREFIXES[][5] = {
  "8UC", "8SC", "16UC", "16SC", "32SC", "32FC", "64FC"
};

namespace detail
{

struct NamedEncoding
{
  const char * name;
  int channels;
  int depth;
};

// Every named (non-matrix) encoding with its channels and bits per channel.
const NamedEncoding named_encodings[] = {
  {MONO8, 1, 8}, {MONO16, 1, 16},
  {RGB8, 3, 8}, {BGR8, 3, 8}, {RGB16, 3, 16}, {BGR16, 3, 16},
  {RGBA8, 4, 8}, {BGRA8, 4, 8}, {RGBA16, 4, 16}, {BGRA16, 4, 16},
  {BAYER_RGGB8, 1, 8}, {BAYER_BGGR8, 1, 8}, {BAYER_GBRG8, 1, 8}, {BAYER_GRBG8, 1, 8},
  {BAYER_RGGB16, 1, 16}, {BAYER_BGGR16, 1, 16}, {BAYER_GBRG16, 1, 16}, {BAYER_GRBG16, 1, 16},
  {YUV422, 2, 8}, {YUV422_YUY2, 2, 8}, {NV21, 1, 8}, {NV24, 2, 8},
};

inline const NamedEncoding * find_named(const std::string & encoding)
{
  for (const NamedEncoding & e : named_encodings) {
    if (encoding == e.name) {
      return &e;
    }
  }
  return nullptr;
}

// "16UC1" -> depth 16, channels 1; "8UC" has one channel. False when the
// text is not a matrix type.
inline bool parse_matrix_type(const std::string & encoding, int & depth, int & channels)
{
  for (const char * bits : {"8", "16", "32", "64"}) {
    const std::size_t n = std::strlen(bits);
    if (encoding.compare(0, n, bits) != 0 || encoding.size() < n + 2) {
      continue;
    }
    const char kind = encoding[n];
    if ((kind != 'U' && kind != 'S' && kind != 'F') || encoding[n + 1] != 'C') {
      return false;
    }
    const std::string count = encoding.substr(n + 2);
    if (count.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    depth = std::stoi(bits);
    channels = count.empty() ? 1 : std::stoi(count);
    return true;
  }
  return false;
}

inline NamedEncoding describe(const std::string & encoding)
{
  if (const NamedEncoding * e = find_named(encoding)) {
    return *e;
  }
  NamedEncoding matrix{nullptr, 0, 0};
  if (parse_matrix_type(encoding, matrix.depth, matrix.channels)) {
    return matrix;
  }
  throw std::runtime_error("Unknown encoding " + encoding);
}

}  // namespace detail

static inline bool isColor(const std::string & encoding)
{
  return encoding == RGB8 || encoding == BGR8 || encoding == RGBA8 || encoding == BGRA8 ||
         encoding == RGB16 || encoding == BGR16 || encoding == RGBA16 || encoding == BGRA16 ||
         encoding == YUV422 || encoding == YUV422_YUY2 || encoding == NV21 || encoding == NV24;
}

static inline bool isMono(const std::string & encoding)
{
  return encoding == MONO8 || encoding == MONO16;
}

static inline bool isBayer(const std::string & encoding)
{
  return encoding.compare(0, 6, "bayer_") == 0 && detail::find_named(encoding) != nullptr;
}

static inline bool hasAlpha(const std::string & encoding)
{
  return encoding == RGBA8 || encoding == BGRA8 || encoding == RGBA16 || encoding == BGRA16;
}

static inline int numChannels(const std::string & encoding)
{
  return detail::describe(encoding).channels;
}

static inline int bitDepth(const std::string & encoding)
{
  return detail::describe(encoding).depth;
}

}  // namespace image_encodings
}  // namespace sensor_msgs

#endif  // SENSOR_MSGS__IMAGE_ENCODINGS_HPP_
