#ifndef BATHROOM_SIM__SENSOR_REPORT_HPP_
#define BATHROOM_SIM__SENSOR_REPORT_HPP_

#include <string>

#include <opencv2/core.hpp>

namespace bathroom_sim
{

// One sensor frame (CV_16UC1, millimetres) with the ideal depth it was made
// from (CV_32FC1, metres) and a title for it.
struct TitledFrame
{
  std::string title;
  cv::Mat depth;
  cv::Mat ideal;
};

// Two frames side by side: above, their depths coloured on one scale from red
// (near) through green to blue (far); below, their errors against the ideal
// depth from blue (too near) through white to red (too far), kReportError
// metres or more at either end. Holes are black in both.
constexpr double kReportError = 0.02;
cv::Mat sensorReport(const TitledFrame & left, const TitledFrame & right);

}  // namespace bathroom_sim

#endif  // BATHROOM_SIM__SENSOR_REPORT_HPP_
