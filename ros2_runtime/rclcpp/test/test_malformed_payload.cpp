// A sample whose bytes do not decode is dropped with one log line; the
// subscription goes on with the next good one.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "context_fixture.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rmw/qos_profiles.h"
#include "rmw_fastdds/names.hpp"
#include "rmw_fastdds/participant.hpp"
#include "rmw_fastdds/writer.hpp"
#include "sensor_msgs/msg/image.hpp"

using namespace std::chrono_literals;

namespace
{

TEST(MalformedPayload, IsDroppedWithOneLogLineAndTheNextImageArrives)
{
  auto context = make_context();
  auto node = std::make_shared<rclcpp::Node>("listener", options_for(context));
  std::vector<std::string> frames;
  auto subscription = node->create_subscription<sensor_msgs::msg::Image>(
    "/depth", 10, [&frames](const sensor_msgs::msg::Image & image) {
      frames.push_back(image.header.frame_id);
    });

  // A raw writer of the same DDS type, as a faulty remote node would be.
  auto writer = context->participant()->create_writer(
    rmw_fastdds::topic_name("/depth"),
    rosidl_runtime_cpp::TypeSupport<sensor_msgs::msg::Image>::dds_type_name,
    rmw_qos_profile_default);
  auto deadline = std::chrono::steady_clock::now() + 5s;
  // Both sides: a volatile writer drops what it writes before it has matched.
  while ((subscription->get_publisher_count() == 0 || writer->matched_count() == 0) &&
    std::chrono::steady_clock::now() < deadline)
  {
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_EQ(subscription->get_publisher_count(), 1u);
  ASSERT_EQ(writer->matched_count(), 1u);

  // Encapsulation header, then a header whose frame_id claims 4 GB.
  const std::vector<uint8_t> bogus{0, 1, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0xff, 0xff, 0xff, 0xff};
  ASSERT_TRUE(writer->write_serialized(bogus));
  sensor_msgs::msg::Image good;
  good.header.frame_id = "after";
  ASSERT_TRUE(
    writer->write(rmw_fastdds::message_ops<sensor_msgs::msg::Image>(), &good));

  testing::internal::CaptureStderr();
  rclcpp::executors::SingleThreadedExecutor executor(rclcpp::ExecutorOptions{context});
  executor.add_node(node);
  deadline = std::chrono::steady_clock::now() + 5s;
  while (frames.empty() && std::chrono::steady_clock::now() < deadline) {
    executor.spin_once(100ms);
  }
  const std::string log = testing::internal::GetCapturedStderr();

  EXPECT_EQ(frames, (std::vector<std::string>{"after"}));
  EXPECT_NE(
    log.find("] [rclcpp]: dropped a malformed sensor_msgs/msg/Image sample of 16 bytes on "
    "'/depth'"), std::string::npos) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
}

}  // namespace
