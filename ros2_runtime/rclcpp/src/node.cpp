#include "rclcpp/node.hpp"

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/detail/arguments.hpp"
#include "rclcpp/logging.hpp"
#include "rclcpp/parameter_service.hpp"
#include "rmw_fastdds/names.hpp"
#include "rmw_fastdds/participant.hpp"

namespace rclcpp
{
namespace
{

std::shared_ptr<detail::NodeHandle> make_handle(
  const std::string & node_name, const std::string & namespace_, const NodeOptions & options)
{
  auto context = options.context();
  if (!context->is_valid()) {
    throw exceptions::RCLError(
            "failed to initialize rcl node",
            "the given context is not valid, either rcl_init() was not called or "
            "rcl_shutdown() was called.");
  }
  detail::Arguments local = detail::parse_arguments(
    options.arguments(), "failed to parse arguments");
  if (!local.unknown_ros_args.empty()) {
    throw exceptions::UnknownROSArgsError(std::move(local.unknown_ros_args));
  }
  return std::make_shared<detail::NodeHandle>(
    context, node_name, namespace_, std::move(local), options.use_global_arguments());
}

// rcl names a node's logger after its namespace and name, dot separated.
std::string logger_name(const detail::NodeHandle & handle)
{
  std::string ns = handle.node_namespace().substr(1);
  std::replace(ns.begin(), ns.end(), '/', '.');
  return ns.empty() ? handle.name() : ns + "." + handle.name();
}

// Global arguments before the node's own, then NodeOptions' overrides.
std::map<std::string, ParameterValue> resolve_overrides(
  const detail::NodeHandle & handle, const NodeOptions & options)
{
  const std::string fqn = handle.fully_qualified_name();
  std::map<std::string, ParameterValue> overrides;
  if (const auto * global = handle.global_arguments()) {
    overrides = detail::parameter_overrides_for(*global, fqn);
  }
  for (auto & entry : detail::parameter_overrides_for(handle.local_arguments(), fqn)) {
    overrides[entry.first] = entry.second;
  }
  for (const auto & parameter : options.parameter_overrides()) {
    overrides[parameter.get_name()] = parameter.get_parameter_value();
  }
  return overrides;
}

// Log records go to /rosout unless the node or the command line says not to.
bool rosout_enabled(const detail::NodeHandle & handle, const NodeOptions & options)
{
  const auto * global = handle.global_arguments();
  return options.enable_rosout() && (global == nullptr || global->rosout_logs);
}

// "pkg::msg::dds_::Name_" -> "pkg/msg/Name"
std::string ros_type_name(const std::string & dds_type)
{
  const std::string infix = "::dds_::";
  const auto at = dds_type.find(infix);
  if (at == std::string::npos || dds_type.empty() || dds_type.back() != '_') {
    return dds_type;
  }
  std::string head = dds_type.substr(0, at);
  for (size_t pos; (pos = head.find("::")) != std::string::npos; ) {
    head.replace(pos, 2, "/");
  }
  return head + "/" + dds_type.substr(at + infix.size(), dds_type.size() - at - infix.size() - 1);
}

}  // namespace

Node::Node(const std::string & node_name, const NodeOptions & options)
: Node(node_name, "", options) {}

Node::Node(
  const std::string & node_name, const std::string & namespace_, const NodeOptions & options)
: options_(options),
  handle_(make_handle(node_name, namespace_, options)),
  fully_qualified_name_(handle_->fully_qualified_name()),
  logger_(rclcpp::get_logger(logger_name(*handle_))),
  clock_(std::make_shared<Clock>(RCL_ROS_TIME)),
  rosout_(rosout_enabled(*handle_, options) ?
    std::make_unique<detail::RosoutSink>(handle_, logger_.get_name()) : nullptr),
  parameter_events_(options.start_parameter_event_publisher() ?
    create_publisher<rcl_interfaces::msg::ParameterEvent>(
      "/parameter_events", ParameterEventsQoS()) : nullptr),
  parameters_(
    resolve_overrides(*handle_, options), options.allow_undeclared_parameters(),
    [this](rcl_interfaces::msg::ParameterEvent & event) {
      if (parameter_events_) {
        event.stamp = clock_->now();
        event.node = fully_qualified_name_;
        parameter_events_->publish(event);
      }
    })
{
  if (options.start_parameter_services()) {
    parameter_service_ = std::make_shared<ParameterService>(*this);
  }
  if (options.automatically_declare_parameters_from_overrides()) {
    rcl_interfaces::msg::ParameterDescriptor descriptor;
    descriptor.dynamic_typing = true;
    for (const auto & entry : parameters_.overrides()) {
      if (!parameters_.has_parameter(entry.first)) {
        parameters_.declare_parameter(entry.first, entry.second, descriptor, true);
      }
    }
  }
  // Every node has it; this runtime keeps the system clock whatever its value.
  if (!parameters_.has_parameter("use_sim_time")) {
    declare_parameter("use_sim_time", false);
  }
  bool use_sim_time = false;
  if (get_parameter("use_sim_time", use_sim_time) && use_sim_time) {
    RCLCPP_WARN(logger_, "use_sim_time is not supported here: the node keeps the system clock");
  }
}

Node::~Node() = default;

const ParameterValue & Node::declare_parameter(
  const std::string & name, const ParameterValue & default_value,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor, bool ignore_override)
{
  return parameters_.declare_parameter(name, default_value, parameter_descriptor, ignore_override);
}

const ParameterValue & Node::declare_parameter(
  const std::string & name, ParameterType type,
  const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor, bool ignore_override)
{
  return parameters_.declare_parameter(name, type, parameter_descriptor, ignore_override);
}

void Node::undeclare_parameter(const std::string & name)
{
  parameters_.undeclare_parameter(name);
}

bool Node::has_parameter(const std::string & name) const
{
  return parameters_.has_parameter(name);
}

Parameter Node::get_parameter(const std::string & name) const
{
  return parameters_.get_parameter(name);
}

bool Node::get_parameter(const std::string & name, Parameter & parameter) const
{
  return parameters_.get_parameter(name, parameter);
}

std::vector<Parameter> Node::get_parameters(const std::vector<std::string> & names) const
{
  std::vector<Parameter> out;
  for (const auto & name : names) {
    out.push_back(get_parameter(name));
  }
  return out;
}

rcl_interfaces::msg::SetParametersResult Node::set_parameter(const Parameter & parameter)
{
  return parameters_.set_parameters_atomically({parameter});
}

std::vector<rcl_interfaces::msg::SetParametersResult> Node::set_parameters(
  const std::vector<Parameter> & parameters)
{
  std::vector<rcl_interfaces::msg::SetParametersResult> results;
  for (const auto & parameter : parameters) {
    results.push_back(set_parameter(parameter));
  }
  return results;
}

rcl_interfaces::msg::SetParametersResult Node::set_parameters_atomically(
  const std::vector<Parameter> & parameters)
{
  return parameters_.set_parameters_atomically(parameters);
}

rcl_interfaces::msg::ParameterDescriptor Node::describe_parameter(const std::string & name) const
{
  auto descriptors = parameters_.describe_parameters({name});
  if (descriptors.empty()) {
    throw exceptions::ParameterNotDeclaredException(name);
  }
  return descriptors.front();
}

std::vector<rcl_interfaces::msg::ParameterDescriptor> Node::describe_parameters(
  const std::vector<std::string> & names) const
{
  return parameters_.describe_parameters(names);
}

std::vector<uint8_t> Node::get_parameter_types(const std::vector<std::string> & names) const
{
  return parameters_.get_parameter_types(names);
}

rcl_interfaces::msg::ListParametersResult Node::list_parameters(
  const std::vector<std::string> & prefixes, uint64_t depth) const
{
  return parameters_.list_parameters(prefixes, depth);
}

}  // namespace rclcpp

namespace rclcpp
{

size_t Node::count_publishers(const std::string & topic_name) const
{
  return handle_->participant().endpoints().count_writers(
    rmw_fastdds::topic_name(handle_->resolve_topic_name(topic_name)));
}

size_t Node::count_subscribers(const std::string & topic_name) const
{
  return handle_->participant().endpoints().count_readers(
    rmw_fastdds::topic_name(handle_->resolve_topic_name(topic_name)));
}

std::map<std::string, std::vector<std::string>> Node::get_topic_names_and_types() const
{
  const std::string prefix = rmw_fastdds::topic_name("");
  std::map<std::string, std::vector<std::string>> out;
  for (const auto & entry : handle_->participant().endpoints().topics_and_types()) {
    if (entry.first.rfind(prefix + "/", 0) != 0) {
      continue;  // not a ROS topic
    }
    auto & types = out[entry.first.substr(prefix.size())];
    for (const auto & type : entry.second) {
      types.push_back(ros_type_name(type));
    }
  }
  return out;
}

}  // namespace rclcpp
