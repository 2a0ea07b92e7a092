#include "bathroom_sim/sensor_report.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include <opencv2/imgproc.hpp>

namespace bathroom_sim
{
namespace
{

constexpr int kTitleHeight = 32;
constexpr int kGap = 8;

cv::Mat depthPicture(const cv::Mat & depth, double nearest, double farthest)
{
  // Turbo runs from blue to red, so depth is turned around onto it.
  cv::Mat scaled;
  depth.convertTo(scaled, CV_8UC1, -255.0 / (1000.0 * (farthest - nearest)),
    255.0 * farthest / (farthest - nearest));
  cv::Mat picture;
  cv::applyColorMap(scaled, picture, cv::COLORMAP_TURBO);
  picture.setTo(cv::Scalar::all(0), depth == 0);
  return picture;
}

cv::Mat errorPicture(const cv::Mat & depth, const cv::Mat & ideal)
{
  cv::Mat picture = cv::Mat::zeros(depth.size(), CV_8UC3);
  for (int v = 0; v < depth.rows; ++v) {
    for (int u = 0; u < depth.cols; ++u) {
      const std::uint16_t millimetres = depth.at<std::uint16_t>(v, u);
      if (millimetres == 0) {
        continue;
      }
      const double error = millimetres / 1000.0 - ideal.at<float>(v, u);
      const double share = std::min(std::abs(error) / kReportError, 1.0);
      const auto fade = cv::saturate_cast<std::uint8_t>(255.0 * (1.0 - share));
      picture.at<cv::Vec3b>(v, u) = error > 0 ? cv::Vec3b(fade, fade, 255) : cv::Vec3b(255, fade, fade);
    }
  }
  return picture;
}

// The nearest and farthest ideal depth of both frames, at least 1 cm apart.
void depthRange(const TitledFrame & a, const TitledFrame & b, double & nearest, double & farthest)
{
  nearest = INFINITY;
  farthest = 0;
  for (const cv::Mat & ideal : {a.ideal, b.ideal}) {
    double low = 0, high = 0;
    cv::minMaxLoc(ideal, &low, &high, nullptr, nullptr, ideal > 0);
    nearest = std::min(nearest, low);
    farthest = std::max(farthest, high);
  }
  farthest = std::max(farthest, nearest + 0.01);
}

}  // namespace

cv::Mat sensorReport(const TitledFrame & left, const TitledFrame & right)
{
  double nearest = 0, farthest = 0;
  depthRange(left, right, nearest, farthest);
  const int width = left.depth.cols;
  const int height = left.depth.rows;
  cv::Mat report(2 * (height + kTitleHeight), 2 * width + kGap, CV_8UC3, cv::Scalar::all(255));
  int x = 0;
  for (const TitledFrame * frame : {&left, &right}) {
    depthPicture(frame->depth, nearest, farthest).copyTo(
      report(cv::Rect(x, kTitleHeight, width, height)));
    errorPicture(frame->depth, frame->ideal).copyTo(
      report(cv::Rect(x, 2 * kTitleHeight + height, width, height)));
    char depthTitle[128];
    std::snprintf(depthTitle, sizeof(depthTitle), "%s: depth, %.2f m red to %.2f m blue",
      frame->title.c_str(), nearest, farthest);
    char errorTitle[128];
    std::snprintf(errorTitle, sizeof(errorTitle), "%s: error, %.0f mm near blue to far red",
      frame->title.c_str(), kReportError * 1000.0);
    cv::putText(report, depthTitle, {x + 8, 23}, cv::FONT_HERSHEY_SIMPLEX, 0.55, {0, 0, 0}, 1);
    cv::putText(report, errorTitle, {x + 8, kTitleHeight + height + 23}, cv::FONT_HERSHEY_SIMPLEX,
      0.55, {0, 0, 0}, 1);
    x += width + kGap;
  }
  return report;
}

}  // namespace bathroom_sim
