#include "bathroom_sim/structured_light.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace bathroom_sim
{
namespace
{

constexpr double kBaseline = 0.075;         // metres
constexpr double kDisparityStep = 1.0 / 8;  // pixels

// Disparity error, in pixels: a part correlated over the matching window
// (kMatchingWindow, a Gaussian's sigma in pixels) and a slowly varying,
// blotchy part whose values are independent kBlotchSpacing pixels apart.
// With the steps they come to about 1.6 mm of depth at 1 m, 15 mm at 3 m.
constexpr double kMatchingNoise = 0.05;
constexpr double kMatchingWindow = 1.0;
constexpr double kBlotchNoise = 0.03;
constexpr int kBlotchSpacing = 48;

// Depths differing by more than this (metres, at depth z) lie on two sides of
// an edge. Where the matching window straddles one, within two pixels, the
// pixel is lost with the odds kEdgeLoss; next to the edge it is otherwise
// mixed from both sides with the odds kEdgeMix.
double edgeJump(double z)
{
  return 0.02 + 0.02 * z;
}
constexpr double kEdgeLoss = 0.35;
constexpr double kEdgeMix = 0.5;

// The light a surface returns grows with albedo / depth: none is found below
// kFaint, all above kBright. Apart from that, the projected dots smear
// beyond 60 degrees of incidence and are lost beyond 80, and even bright
// surfaces facing the sensor lose a few patches where the dots are too
// sparse to match. Lost returns come in patches of about kLossPatch pixels'
// sigma.
constexpr double kFaint = 0.06;
constexpr double kBright = 0.2;
const double kSmeared = std::cos(60.0 * M_PI / 180.0);
const double kSmearedOut = std::cos(80.0 * M_PI / 180.0);
constexpr double kBestOdds = 0.98;
constexpr double kLossPatch = 2.0;

// The odds that a surface at depth z returns light.
double returnOdds(double albedo, double incidence, double z)
{
  return kBestOdds * std::clamp((albedo / z - kFaint) / (kBright - kFaint), 0.0, 1.0) *
         std::clamp((incidence - kSmearedOut) / (kSmeared - kSmearedOut), 0.0, 1.0);
}

// A surface more than this much disparity behind what the projector lights
// in its direction lies in the projector's shadow.
constexpr double kShadowMargin = 0.5;
constexpr int kPatternMargin = 16;

void normalise(cv::Mat & field)
{
  cv::Scalar mean, deviation;
  cv::meanStdDev(field, mean, deviation);
  field = (field - mean[0]) / deviation[0];
}

cv::Mat gaussianNoise(int rows, int cols, std::mt19937 & rng)
{
  std::normal_distribution<float> gauss(0.0f, 1.0f);
  cv::Mat noise(rows, cols, CV_32FC1);
  std::generate(noise.begin<float>(), noise.end<float>(), [&]() {return gauss(rng);});
  return noise;
}

// Gaussian noise of unit variance, correlated over sigma pixels.
cv::Mat correlatedNoise(cv::Size size, double sigma, std::mt19937 & rng)
{
  cv::Mat noise = gaussianNoise(size.height, size.width, rng);
  cv::GaussianBlur(noise, noise, cv::Size(), sigma);
  normalise(noise);
  return noise;
}

// Gaussian noise of unit variance that varies smoothly between independent
// values spacing pixels apart.
cv::Mat blotches(cv::Size size, int spacing, std::mt19937 & rng)
{
  cv::Mat grid = gaussianNoise(size.height / spacing + 2, size.width / spacing + 2, rng);
  cv::Mat field;
  cv::resize(grid, field, size, 0, 0, cv::INTER_CUBIC);
  normalise(field);
  return field;
}

// Which pixels the projector lights: along each row (the epipolar line) a
// point at disparity d lies on the projector's column u - d, and of the
// points on one column only the nearest, of largest disparity, is lit. Each
// pixel covers two columns so that no gap opens between neighbours. The
// pattern reaches kPatternMargin columns left of the image's; near surfaces
// at the image's left edge lie beyond it.
cv::Mat projectorLight(const cv::Mat & disparity)
{
  const int cols = disparity.cols;
  cv::Mat lit = cv::Mat::zeros(disparity.size(), CV_8UC1);
  std::vector<float> nearest(static_cast<std::size_t>(cols + kPatternMargin) + 1);
  auto column = [](int u, float d) {return static_cast<int>(std::floor(u - d)) + kPatternMargin;};
  for (int v = 0; v < disparity.rows; ++v) {
    const float * d = disparity.ptr<float>(v);
    std::fill(nearest.begin(), nearest.end(), 0.0f);
    for (int u = 0; u < cols; ++u) {
      const int c = column(u, d[u]);
      if (d[u] > 0 && c >= 0) {
        nearest[c] = std::max(nearest[c], d[u]);
        nearest[c + 1] = std::max(nearest[c + 1], d[u]);
      }
    }
    for (int u = 0; u < cols; ++u) {
      const int c = column(u, d[u]);
      lit.at<std::uint8_t>(v, u) = d[u] > 0 && c >= 0 && nearest[c] - d[u] < kShadowMargin;
    }
  }
  return lit;
}

// The nearest and farthest surface within reach pixels of a pixel.
void depthSpan(const cv::Mat & depth, int v, int u, int reach, float & nearest, float & farthest)
{
  nearest = INFINITY;
  farthest = 0;
  for (int y = std::max(v - reach, 0); y <= std::min(v + reach, depth.rows - 1); ++y) {
    for (int x = std::max(u - reach, 0); x <= std::min(u + reach, depth.cols - 1); ++x) {
      const float z = depth.at<float>(y, x);
      if (z > 0) {
        nearest = std::min(nearest, z);
        farthest = std::max(farthest, z);
      }
    }
  }
}

}  // namespace

cv::Mat structuredLightDepth(const DepthView & view, const PinholeCamera & camera, std::mt19937 & rng)
{
  const double focalBaseline = camera.fx * kBaseline;
  const cv::Size size = view.depth.size();
  cv::Mat disparity = cv::Mat::zeros(size, CV_32FC1);
  for (int v = 0; v < size.height; ++v) {
    for (int u = 0; u < size.width; ++u) {
      const float z = view.depth.at<float>(v, u);
      if (z > 0) {
        disparity.at<float>(v, u) = static_cast<float>(focalBaseline / z);
      }
    }
  }
  const cv::Mat lit = projectorLight(disparity);
  const cv::Mat matching = correlatedNoise(size, kMatchingWindow, rng);
  const cv::Mat blotchy = blotches(size, kBlotchSpacing, rng);
  const cv::Mat loss = correlatedNoise(size, kLossPatch, rng);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);

  cv::Mat out = cv::Mat::zeros(size, CV_16UC1);
  for (int v = 0; v < size.height; ++v) {
    for (int u = 0; u < size.width; ++u) {
      double z = view.depth.at<float>(v, u);
      if (z <= 0 || !lit.at<std::uint8_t>(v, u)) {
        continue;
      }
      float nearest = 0, farthest = 0;
      depthSpan(view.depth, v, u, 2, nearest, farthest);
      if (farthest - nearest > edgeJump(nearest)) {
        const double draw = uniform(rng);
        if (draw < kEdgeLoss) {
          continue;
        }
        depthSpan(view.depth, v, u, 1, nearest, farthest);
        if (farthest - nearest > edgeJump(nearest) && draw < kEdgeLoss + kEdgeMix) {
          z = nearest + uniform(rng) * (farthest - nearest);
        }
      }
      // The loss field's normal quantile: a patch is lost where it exceeds the odds of a return.
      if (0.5 * std::erfc(-loss.at<float>(v, u) / std::sqrt(2.0)) >
        returnOdds(view.albedo.at<float>(v, u), view.incidence.at<float>(v, u), z))
      {
        continue;
      }
      const double d = focalBaseline / z + kMatchingNoise * matching.at<float>(v, u) +
        kBlotchNoise * blotchy.at<float>(v, u);
      const double measured = focalBaseline / (std::round(d / kDisparityStep) * kDisparityStep);
      if (measured >= kNearestDepth && measured <= kFarthestDepth) {
        out.at<std::uint16_t>(v, u) = static_cast<std::uint16_t>(std::round(measured * 1000.0));
      }
    }
  }
  return out;
}

}  // namespace bathroom_sim
