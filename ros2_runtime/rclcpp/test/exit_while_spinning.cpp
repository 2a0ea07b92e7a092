// Calls exit() while another thread spins a node with a live subscription,
// as a program does that gives up during start-up with a TF listener running.

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/image.hpp"

int main(int argc, char ** argv)
{
  rclcpp::init(argc, argv);
  auto node = rclcpp::Node::make_shared("exit_while_spinning");
  auto subscription = node->create_subscription<sensor_msgs::msg::Image>(
    "images", 1, [](sensor_msgs::msg::Image::ConstSharedPtr) {});
  auto executor = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  executor->add_node(node);
  std::thread([executor]() {
      while (rclcpp::ok()) {
        executor->spin_once(std::chrono::milliseconds(100));
      }
    }).detach();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  exit(3);
}
