// Writes one record per severity on the node's logger, for the logging
// tests: "debug 1", "info 2" (stream form), "warn 3", "error 4", "fatal 5".
#include <memory>

#include "rclcpp/rclcpp.hpp"

int main(int argc, char ** argv)
{
  rclcpp::init(argc, argv);
  auto node = std::make_shared<rclcpp::Node>("talker");
  RCLCPP_DEBUG(node->get_logger(), "debug %d", 1);
  RCLCPP_INFO_STREAM(node->get_logger(), "info " << 2);
  RCLCPP_WARN(node->get_logger(), "warn %d", 3);
  RCLCPP_ERROR(node->get_logger(), "error %d", 4);
  RCLCPP_FATAL(node->get_logger(), "fatal %d", 5);
  rclcpp::shutdown();
  return 0;
}
