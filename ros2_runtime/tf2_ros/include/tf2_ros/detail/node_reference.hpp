#ifndef TF2_ROS__DETAIL__NODE_REFERENCE_HPP_
#define TF2_ROS__DETAIL__NODE_REFERENCE_HPP_

#include <memory>

#include "rclcpp/node.hpp"

namespace tf2_ros
{
namespace detail
{

// The node behind whatever a caller hands a broadcaster: the node itself,
// `this` inside a node, or a shared pointer to it.
inline rclcpp::Node & node_reference(rclcpp::Node & node) {return node;}
inline rclcpp::Node & node_reference(rclcpp::Node * node) {return *node;}
inline rclcpp::Node & node_reference(const std::shared_ptr<rclcpp::Node> & node) {return *node;}

}  // namespace detail
}  // namespace tf2_ros

#endif  // TF2_ROS__DETAIL__NODE_REFERENCE_HPP_
