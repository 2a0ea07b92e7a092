// Symbol visibility markers that rclcpp's public headers carry.
#ifndef RCLCPP__VISIBILITY_CONTROL_HPP_
#define RCLCPP__VISIBILITY_CONTROL_HPP_

#define RCLCPP_PUBLIC __attribute__((visibility("default")))
#define RCLCPP_LOCAL __attribute__((visibility("hidden")))
#define RCLCPP_PUBLIC_TYPE RCLCPP_PUBLIC

#endif  // RCLCPP__VISIBILITY_CONTROL_HPP_
