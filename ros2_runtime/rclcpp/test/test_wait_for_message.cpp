// rclcpp::wait_for_message: one message, or false on timeout or shutdown.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "context_fixture.hpp"
#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/camera_info.hpp"

using namespace std::chrono_literals;

namespace
{

TEST(WaitForMessage, ReturnsTheMessageThatArrives)
{
  auto context = make_context();
  auto node = std::make_shared<rclcpp::Node>("waiter", options_for(context));
  auto talker = std::make_shared<rclcpp::Node>("camera", options_for(context));
  auto publisher = talker->create_publisher<sensor_msgs::msg::CameraInfo>("/camera_info", 10);
  std::thread feeder([&]() {
      sensor_msgs::msg::CameraInfo info;
      info.k = {600.0, 0.0, 320.0, 0.0, 601.0, 240.0, 0.0, 0.0, 1.0};
      while (rclcpp::ok(context)) {
        publisher->publish(info);
        std::this_thread::sleep_for(20ms);
      }
    });
  sensor_msgs::msg::CameraInfo received;
  EXPECT_TRUE(rclcpp::wait_for_message(received, node, "/camera_info", 5s));
  EXPECT_EQ(received.k[0], 600.0);
  EXPECT_EQ(received.k[5], 240.0);
  context->shutdown("test over");
  feeder.join();
}

TEST(WaitForMessage, TimesOutWithoutAPublisher)
{
  auto node = std::make_shared<rclcpp::Node>("waiter", options_for(make_context()));
  sensor_msgs::msg::CameraInfo received;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(rclcpp::wait_for_message(received, node, "/camera_info", 500ms));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 500ms);
  EXPECT_LT(waited, 1500ms);
}

TEST(WaitForMessage, ReturnsFalseAsSoonAsTheContextShutsDown)
{
  auto context = make_context();
  auto node = std::make_shared<rclcpp::Node>("waiter", options_for(context));
  std::thread stopper([&]() {
      std::this_thread::sleep_for(200ms);
      context->shutdown("signal handler");
    });
  sensor_msgs::msg::CameraInfo received;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(rclcpp::wait_for_message(received, node, "/camera_info", 10s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  stopper.join();
}

}  // namespace
