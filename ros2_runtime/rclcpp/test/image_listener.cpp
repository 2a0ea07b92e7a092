// Receives depth images for the process-level tests until `count` arrived,
// SIGINT, or `timeout` seconds; each callback then sleeps `busy_ms`, as a
// slow reader would. Prints the frame ids it got, one line, on stdout.
//   image_listener <topic> <count> <timeout_s> <depth> <busy_ms>
#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/image.hpp"

int main(int argc, char ** argv)
{
  rclcpp::init(argc, argv);
  const auto args = rclcpp::remove_ros_arguments(argc, argv);
  if (args.size() != 6) {
    std::cerr << "usage: image_listener <topic> <count> <timeout_s> <depth> <busy_ms>\n";
    return 2;
  }
  const size_t count = std::stoul(args[2]);
  const auto timeout = std::chrono::seconds(std::stoi(args[3]));
  const auto busy = std::chrono::milliseconds(std::stoi(args[5]));
  auto node = std::make_shared<rclcpp::Node>("image_listener");
  std::vector<std::string> frames;
  size_t bad_images = 0;
  auto subscription = node->create_subscription<sensor_msgs::msg::Image>(
    args[1], rclcpp::QoS(std::stoul(args[4])),
    [&](sensor_msgs::msg::Image::ConstSharedPtr image) {
      if (image->data.size() != static_cast<size_t>(image->step) * image->height) {
        ++bad_images;
      }
      frames.push_back(image->header.frame_id);
      std::this_thread::sleep_for(busy);
      if (frames.size() >= count) {
        rclcpp::shutdown();
      }
    });
  std::cout << "ready" << std::endl;
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (rclcpp::ok() && std::chrono::steady_clock::now() < deadline) {
    executor.spin_once(std::chrono::milliseconds(100));
  }
  std::cout << "frames";
  for (const auto & frame : frames) {
    std::cout << " " << frame;
  }
  std::cout << std::endl << "bad " << bad_images << std::endl;
  rclcpp::shutdown();
  return 0;
}
