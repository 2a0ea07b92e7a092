// Publishes depth images for the process-level tests: once a subscriber is
// matched, `count` frames of width x height 16UC1 at `rate` Hz (0: flat
// out), frame i carrying i in header.frame_id and its first pixel.
//   image_talker <topic> <width> <height> <count> <rate> <depth> <reliable|best_effort>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/image.hpp"

int main(int argc, char ** argv)
{
  rclcpp::init(argc, argv);
  const auto args = rclcpp::remove_ros_arguments(argc, argv);
  if (args.size() != 8) {
    std::cerr << "usage: image_talker <topic> <width> <height> <count> <rate> <depth> "
      "<reliable|best_effort>\n";
    return 2;
  }
  const uint32_t width = std::stoul(args[2]);
  const uint32_t height = std::stoul(args[3]);
  const int count = std::stoi(args[4]);
  const double rate = std::stod(args[5]);
  rclcpp::QoS qos(std::stoul(args[6]));
  if (args[7] == "best_effort") {
    qos.best_effort();
  }
  auto node = std::make_shared<rclcpp::Node>("image_talker");
  auto publisher = node->create_publisher<sensor_msgs::msg::Image>(args[1], qos);
  while (rclcpp::ok() && publisher->get_subscription_count() == 0) {
    rclcpp::sleep_for(std::chrono::milliseconds(10));
  }
  // Let the reader's side of the match settle too.
  rclcpp::sleep_for(std::chrono::milliseconds(200));

  sensor_msgs::msg::Image image;
  image.width = width;
  image.height = height;
  image.encoding = "16UC1";
  image.step = width * 2;
  image.data.resize(static_cast<size_t>(image.step) * height);
  const auto period = rate > 0 ? std::chrono::nanoseconds(static_cast<int64_t>(1e9 / rate)) :
    std::chrono::nanoseconds(0);
  auto next = std::chrono::steady_clock::now();
  for (int i = 0; i < count && rclcpp::ok(); ++i) {
    image.header.frame_id = std::to_string(i);
    image.header.stamp = node->now();
    std::memcpy(image.data.data(), &i, sizeof(i));
    publisher->publish(image);
    next += period;
    std::this_thread::sleep_until(next);
  }
  // Reliable delivery of the last frames may still be under way.
  rclcpp::sleep_for(std::chrono::milliseconds(500));
  std::cout << "published " << count << std::endl;
  rclcpp::shutdown();
  return 0;
}
