// Receives depth images for the process-level tests until `count` arrived,
// SIGINT, or nothing came for `idle_s` seconds after the first image; each
// callback sleeps `busy_ms`, as a slow reader would. Prints the frame ids it
// got, one line, on stdout.
//   image_listener <topic> <count> <idle_s> <depth> <busy_ms>
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
    std::cerr << "usage: image_listener <topic> <count> <idle_s> <depth> <busy_ms>\n";
    return 2;
  }
  const size_t count = std::stoul(args[2]);
  const auto idle = std::chrono::seconds(std::stoi(args[3]));
  const auto busy = std::chrono::milliseconds(std::stoi(args[5]));
  auto node = std::make_shared<rclcpp::Node>("image_listener");
  std::vector<std::string> frames;
  size_t bad_images = 0;
  auto last_image = std::chrono::steady_clock::time_point::max();
  auto subscription = node->create_subscription<sensor_msgs::msg::Image>(
    args[1], rclcpp::QoS(std::stoul(args[4])),
    [&](sensor_msgs::msg::Image::ConstSharedPtr image) {
      if (image->data.size() != static_cast<size_t>(image->step) * image->height) {
        ++bad_images;
      }
      frames.push_back(image->header.frame_id);
      std::this_thread::sleep_for(busy);
      last_image = std::chrono::steady_clock::now();
      if (frames.size() >= count) {
        rclcpp::shutdown();
      }
    });
  std::cout << "ready" << std::endl;
  rclcpp::executors::SingleThreadedExecutor executor;
  executor.add_node(node);
  while (rclcpp::ok() &&
    (frames.empty() || std::chrono::steady_clock::now() - last_image < idle))
  {
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
