// Depth images between two processes over DDS on loopback, as a camera
// driver and our node exchange them.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.hpp"

using namespace std::chrono_literals;

namespace
{

std::vector<int> received_frames(const std::string & listener_out)
{
  std::vector<int> frames;
  const auto line = listener_out.find("frames");
  std::istringstream in(listener_out.substr(line + 6, listener_out.find('\n', line) - line - 6));
  for (int frame; in >> frame; ) {
    frames.push_back(frame);
  }
  return frames;
}

TEST(ImageTransport, DeliversEveryLargeDepthImageAt30HzWhenReliable)
{
  ChildProcess listener({IMAGE_LISTENER, "/camera/depth/image_raw", "60", "5", "10", "0"});
  ASSERT_TRUE(listener.wait_for_output("ready", 10s));
  ChildProcess talker(
    {IMAGE_TALKER, "/camera/depth/image_raw", "1280", "720", "60", "30", "10", "reliable"});
  ASSERT_EQ(talker.wait(20s), 0) << talker.err();
  ASSERT_EQ(listener.wait(20s), 0) << listener.err();

  std::vector<int> expected;
  for (int i = 0; i < 60; ++i) {
    expected.push_back(i);
  }
  EXPECT_EQ(received_frames(listener.out()), expected);
  EXPECT_NE(listener.out().find("bad 0"), std::string::npos) << listener.out();
}

TEST(ImageTransport, KeepLastOneHandsABusyReaderOnlyTheNewestImage)
{
  // The reader takes 300 ms per image while 20 arrive within 0.7 s.
  ChildProcess listener({IMAGE_LISTENER, "/depth", "20", "1", "1", "300"});
  ASSERT_TRUE(listener.wait_for_output("ready", 10s));
  ChildProcess talker({IMAGE_TALKER, "/depth", "640", "480", "20", "30", "10", "reliable"});
  ASSERT_EQ(talker.wait(20s), 0) << talker.err();
  ASSERT_EQ(listener.wait(20s), 0) << listener.err();

  const auto frames = received_frames(listener.out());
  ASSERT_FALSE(frames.empty()) << listener.out();
  EXPECT_LT(frames.size(), 8u) << listener.out();
  EXPECT_EQ(frames.back(), 19) << "the newest image must survive";
  for (size_t i = 1; i < frames.size(); ++i) {
    EXPECT_LT(frames[i - 1], frames[i]);
  }
}

TEST(ImageTransport, SigintEndsSpinAndTheProcessExitsNormally)
{
  ChildProcess listener({IMAGE_LISTENER, "/depth", "1000", "1", "1", "0"});
  ASSERT_TRUE(listener.wait_for_output("ready", 10s));
  std::this_thread::sleep_for(200ms);
  const auto start = std::chrono::steady_clock::now();
  listener.signal(SIGINT);
  EXPECT_EQ(listener.wait(5s), 0) << listener.err();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_NE(listener.err().find("[INFO] ["), std::string::npos) << listener.err();
  EXPECT_NE(listener.err().find("] [rclcpp]: signal_handler(signum=2)"), std::string::npos)
    << listener.err();
}

}  // namespace
