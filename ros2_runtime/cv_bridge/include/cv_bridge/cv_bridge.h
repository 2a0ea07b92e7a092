#ifndef CV_BRIDGE__CV_BRIDGE_H_
#define CV_BRIDGE__CV_BRIDGE_H_

#include <opencv2/core/core.hpp>

#include <memory>
#include <stdexcept>
#include <string>

#include "sensor_msgs/image_encodings.hpp"
#include "sensor_msgs/msg/image.hpp"
#include "std_msgs/msg/header.hpp"

// Between sensor_msgs::msg::Image and cv::Mat.
namespace cv_bridge
{

// A message that cannot be read as an image, or a conversion that does not
// exist.
class Exception : public std::runtime_error
{
public:
  explicit Exception(const std::string & error)
  : std::runtime_error(error) {}
};

class CvImage;

typedef std::shared_ptr<CvImage> CvImagePtr;
typedef std::shared_ptr<CvImage const> CvImageConstPtr;

// An image with the header and encoding it travels with.
class CvImage
{
public:
  std_msgs::msg::Header header;
  std::string encoding;
  cv::Mat image;

  CvImage() = default;
  CvImage(
    const std_msgs::msg::Header & header, const std::string & encoding,
    const cv::Mat & image = cv::Mat())
  : header(header), encoding(encoding), image(image) {}

  sensor_msgs::msg::Image::SharedPtr toImageMsg() const;

  // Rows packed without padding, in this machine's byte order.
  void toImageMsg(sensor_msgs::msg::Image & ros_image) const;

protected:
  // Keeps a shared message alive while `image` points into its data.
  std::shared_ptr<void const> tracked_object_;

  friend CvImageConstPtr toCvShare(
    const sensor_msgs::msg::Image & source, const std::shared_ptr<void const> & tracked_object,
    const std::string & encoding);
};

// A deep copy, converted to `encoding` (empty: kept as it is). Throws
// cv_bridge::Exception for a malformed message or an impossible conversion.
CvImagePtr toCvCopy(
  const sensor_msgs::msg::Image::ConstSharedPtr & source,
  const std::string & encoding = std::string());

CvImagePtr toCvCopy(
  const sensor_msgs::msg::Image & source, const std::string & encoding = std::string());

// Shares the message's data when no conversion and no byte swap is needed,
// copies otherwise.
CvImageConstPtr toCvShare(
  const sensor_msgs::msg::Image::ConstSharedPtr & source,
  const std::string & encoding = std::string());

CvImageConstPtr toCvShare(
  const sensor_msgs::msg::Image & source, const std::shared_ptr<void const> & tracked_object,
  const std::string & encoding = std::string());

CvImagePtr cvtColor(const CvImageConstPtr & source, const std::string & encoding);

// The OpenCV matrix type an encoding is stored as.
int getCvType(const std::string & encoding);

}  // namespace cv_bridge

#endif  // CV_BRIDGE__CV_BRIDGE_H_
