#include "bathroom_sim/location_report.hpp"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

namespace bathroom_sim
{
namespace
{

constexpr int kPanel = 560;
constexpr int kMargin = 20;
constexpr int kLineHeight = 26;

// Draws the clouds projected on two axes of the scene into one panel, framed
// on the camera clouds (the map reaches far beyond what the camera sees).
void drawPanel(
  cv::Mat & panel, int horizontal, int vertical, const std::string & title,
  const pcl::PointCloud<pcl::PointXYZI> & map, const pcl::PointCloud<pcl::PointXYZI> & placed,
  const pcl::PointCloud<pcl::PointXYZI> & aligned)
{
  float low[2] = {INFINITY, INFINITY};
  float high[2] = {-INFINITY, -INFINITY};
  for (const auto & cloud : {&placed, &aligned}) {
    for (const auto & p : *cloud) {
      const float c[2] = {p.data[horizontal], p.data[vertical]};
      for (int i = 0; i < 2; ++i) {
        if (std::isfinite(c[i])) {
          low[i] = std::min(low[i], c[i]);
          high[i] = std::max(high[i], c[i]);
        }
      }
    }
  }
  const float span = std::max({high[0] - low[0], high[1] - low[1], 1e-3f});
  const float scale = (kPanel - 2 * kMargin) / span;
  auto draw = [&](const pcl::PointCloud<pcl::PointXYZI> & cloud, const cv::Scalar & colour, int size) {
      for (const auto & p : cloud) {
        const float x = kMargin + (p.data[horizontal] - low[0]) * scale;
        const float y = kPanel - kMargin - (p.data[vertical] - low[1]) * scale;
        if (x >= 0 && y >= size && x < kPanel - size && y < kPanel) {
          cv::rectangle(panel, cv::Rect(static_cast<int>(x), static_cast<int>(y) - size + 1, size, size),
            colour, cv::FILLED);
        }
      }
    };
  draw(map, kMapColour, 1);
  draw(placed, kPlacedColour, 2);
  draw(aligned, kAlignedColour, 2);
  cv::putText(panel, title, {10, 24}, cv::FONT_HERSHEY_SIMPLEX, 0.7, {0, 0, 0}, 2);
}

}  // namespace

cv::Mat locationReport(
  const pcl::PointCloud<pcl::PointXYZI> & map, const pcl::PointCloud<pcl::PointXYZI> & placed,
  const pcl::PointCloud<pcl::PointXYZI> & aligned, const std::vector<std::string> & lines)
{
  const int textHeight = kLineHeight * static_cast<int>(lines.size() + 2);
  cv::Mat report(kPanel + textHeight, 2 * kPanel, CV_8UC3, cv::Scalar(255, 255, 255));
  cv::Mat top = report(cv::Rect(0, 0, kPanel, kPanel));
  cv::Mat side = report(cv::Rect(kPanel, 0, kPanel, kPanel));
  drawPanel(top, 0, 1, "top (x, y)", map, placed, aligned);
  drawPanel(side, 0, 2, "side (x, z)", map, placed, aligned);
  cv::line(report, {kPanel, 0}, {kPanel, kPanel}, {0, 0, 0}, 1);

  int y = kPanel + kLineHeight;
  const std::pair<const char *, cv::Scalar> legend[] = {
    {"map", kMapColour}, {"camera cloud by TF", kPlacedColour}, {"aligned", kAlignedColour}};
  int x = 10;
  for (const auto & [name, colour] : legend) {
    cv::rectangle(report, {x, y - 14}, {x + 16, y + 2}, colour, cv::FILLED);
    cv::putText(report, name, {x + 22, y}, cv::FONT_HERSHEY_SIMPLEX, 0.55, {0, 0, 0}, 1);
    x += 260;
  }
  for (const std::string & line : lines) {
    y += kLineHeight;
    cv::putText(report, line, {10, y}, cv::FONT_HERSHEY_SIMPLEX, 0.55, {0, 0, 0}, 1);
  }
  return report;
}

}  // namespace bathroom_sim
