// Writes one record per severity on the node's logger, for the logging
// tests: "debug 1", "info 2" (stream form), "warn 3", "error 4", "fatal 5";
// then three rounds of the conditional forms, which let through "once 0",
// "throttled 0" and "expression 2".
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
  for (int i = 0; i < 3; ++i) {
    RCLCPP_INFO_ONCE(node->get_logger(), "once %d", i);
    RCLCPP_INFO_THROTTLE(node->get_logger(), *node->get_clock(), 60000, "throttled %d", i);
    RCLCPP_INFO_EXPRESSION(node->get_logger(), i == 2, "expression %d", i);
  }
  rclcpp::shutdown();
  return 0;
}
