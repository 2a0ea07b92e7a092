// Validation, expansion and remapping of node, namespace, topic and service
// names, with rcl's and rmw's rules and texts.
#ifndef RCLCPP__DETAIL__NAMES_HPP_
#define RCLCPP__DETAIL__NAMES_HPP_

#include <string>

#include "rclcpp/detail/arguments.hpp"

namespace rclcpp
{
namespace detail
{

// rcl's complaint about a (not yet expanded) topic name, or nullptr.
const char * topic_name_error(const std::string & name);

// Throw rclcpp::exceptions::InvalidNodeNameError / InvalidNamespaceError.
void validate_node_name(const std::string & node_name);
void validate_namespace(const std::string & node_namespace);

// "" becomes "/", a relative namespace is made absolute.
std::string absolute_namespace(const std::string & node_namespace);

std::string fully_qualified_node_name(
  const std::string & node_namespace, const std::string & node_name);

// The node's name and namespace after __node / __ns remaps, local rules
// before global ones.
std::string remap_node_name(
  const std::string & node_name, const Arguments * local, const Arguments * global);
std::string remap_namespace(
  const std::string & node_name, const std::string & node_namespace,
  const Arguments * local, const Arguments * global);

// A topic or service name as used on the wire: expanded in the node's
// namespace, remapped, and validated. Throws InvalidTopicNameError or
// InvalidServiceNameError.
std::string resolve_name(
  const std::string & name, const std::string & node_name, const std::string & node_namespace,
  bool is_service, const Arguments * local, const Arguments * global);

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__NAMES_HPP_
