#ifndef BATHROOM_SIM__LOCATION_REPORT_HPP_
#define BATHROOM_SIM__LOCATION_REPORT_HPP_

#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

namespace bathroom_sim
{

// Colours of the report's clouds (BGR).
const cv::Scalar kMapColour(190, 190, 190);
const cv::Scalar kPlacedColour(40, 40, 230);
const cv::Scalar kAlignedColour(60, 200, 60);

// A picture of one localization: the map in grey, the camera cloud as TF
// placed it in red and as the registration aligned it in green, seen from
// the top (x right, y up) and from the side (x right, z up), framed on the
// camera clouds, with text lines below.
cv::Mat locationReport(
  const pcl::PointCloud<pcl::PointXYZI> & map, const pcl::PointCloud<pcl::PointXYZI> & placed,
  const pcl::PointCloud<pcl::PointXYZI> & aligned, const std::vector<std::string> & lines);

}  // namespace bathroom_sim

#endif  // BATHROOM_SIM__LOCATION_REPORT_HPP_
