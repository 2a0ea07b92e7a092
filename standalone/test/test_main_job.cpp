// README's main job end to end: the node, the simulated camera and the
// client, for the three scene states.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace fs = std::filesystem;

namespace
{

// Pixels of exactly this colour in the region.
int pixels(const cv::Mat & image, const cv::Rect & region, const cv::Scalar & colour)
{
  cv::Mat mask;
  cv::inRange(image(region), colour, colour, mask);
  return cv::countNonZero(mask);
}

TEST(MainJob, LocatesEveryStateWithinThreeMillimetresAndWritesItsReport)
{
  const fs::path out = fs::temp_directory_path() / ("brisvane_main_job_" + std::to_string(getpid()));
  const std::string command = std::string(std::getenv("RUN_DEMO")) + " " + out.string() + " " +
    std::getenv("PROGRAM_DIRS") + " 2>&1";
  FILE * pipe = popen(command.c_str(), "r");
  std::string log;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof(buffer), pipe)) > 0; ) {
    log.append(buffer, n);
  }
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log;
  EXPECT_NE(log.find("arm_location_node exited with status 0"), std::string::npos) << log;

  const std::regex error("error ([0-9.]+) mm, ([0-9.]+) deg");
  int located = 0;
  for (auto it = std::sregex_iterator(log.begin(), log.end(), error); it != std::sregex_iterator(); ++it) {
    EXPECT_LT(std::stod((*it)[1]), 3.0) << log;
    EXPECT_LT(std::stod((*it)[2]), 0.3) << log;
    ++located;
  }
  EXPECT_EQ(located, 3) << log;

  for (const char * state : {"all_close", "all_open", "cover_open"}) {
    SCOPED_TRACE(state);
    const cv::Mat report = cv::imread((out / (std::string("report_") + state + ".png")).string());
    ASSERT_FALSE(report.empty());
    // Map, camera cloud by TF and aligned cloud in both views; the legend
    // and the text below them.
    const int half = report.cols / 2;
    for (int panel = 0; panel < 2; ++panel) {
      const cv::Rect view(panel * half, 0, half, half);
      EXPECT_GT(pixels(report, view, {190, 190, 190}), 1000);
      EXPECT_GT(pixels(report, view, {40, 40, 230}), 1000);
      EXPECT_GT(pixels(report, view, {60, 200, 60}), 1000);
    }
    const cv::Rect text(0, half, report.cols, report.rows - half);
    EXPECT_GT(pixels(report, text, {0, 0, 0}), 200);
  }
  fs::remove_all(out);
}

}  // namespace
