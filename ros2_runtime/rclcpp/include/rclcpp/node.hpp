// rclcpp::Node: names, logger, clock, parameters, and the factories for
// publishers, subscriptions, timers, services and clients.
#ifndef RCLCPP__NODE_HPP_
#define RCLCPP__NODE_HPP_

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rcl_interfaces/msg/list_parameters_result.hpp"
#include "rcl_interfaces/msg/parameter_descriptor.hpp"
#include "rcl_interfaces/msg/parameter_event.hpp"
#include "rcl_interfaces/msg/set_parameters_result.hpp"
#include "rclcpp/callback_group.hpp"
#include "rclcpp/client.hpp"
#include "rclcpp/clock.hpp"
#include "rclcpp/context.hpp"
#include "rclcpp/detail/node_handle.hpp"
#include "rclcpp/detail/node_parameters.hpp"
#include "rclcpp/detail/rosout.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp/logger.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/node_options.hpp"
#include "rclcpp/parameter.hpp"
#include "rclcpp/publisher.hpp"
#include "rclcpp/qos.hpp"
#include "rclcpp/service.hpp"
#include "rclcpp/subscription.hpp"
#include "rclcpp/time.hpp"
#include "rclcpp/timer.hpp"

namespace rclcpp
{

class ParameterService;

class Node : public std::enable_shared_from_this<Node>
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Node)

  explicit Node(const std::string & node_name, const NodeOptions & options = NodeOptions());
  Node(
    const std::string & node_name, const std::string & namespace_,
    const NodeOptions & options = NodeOptions());
  virtual ~Node();

  Node(const Node &) = delete;
  Node & operator=(const Node &) = delete;

  const char * get_name() const {return handle_->name().c_str();}
  const char * get_namespace() const {return handle_->node_namespace().c_str();}
  const char * get_fully_qualified_name() const {return fully_qualified_name_.c_str();}
  Logger get_logger() const {return logger_;}
  Clock::SharedPtr get_clock() {return clock_;}
  Clock::ConstSharedPtr get_clock() const {return clock_;}
  Time now() const {return clock_->now();}
  const NodeOptions & get_node_options() const {return options_;}

  template<
    typename MessageT, typename AllocatorT = std::allocator<void>,
    typename PublisherT = Publisher<MessageT, AllocatorT>>
  std::shared_ptr<PublisherT> create_publisher(const std::string & topic_name, const QoS & qos)
  {
    return std::make_shared<PublisherT>(handle_, handle_->resolve_topic_name(topic_name), qos);
  }

  template<
    typename MessageT, typename CallbackT, typename AllocatorT = std::allocator<void>,
    typename SubscriptionT = Subscription<MessageT, AllocatorT>>
  std::shared_ptr<SubscriptionT> create_subscription(
    const std::string & topic_name, const QoS & qos, CallbackT && callback)
  {
    auto subscription = std::make_shared<SubscriptionT>(
      handle_, handle_->resolve_topic_name(topic_name), qos,
      AnySubscriptionCallback<MessageT>(std::forward<CallbackT>(callback)));
    handle_->add_executable(subscription);
    return subscription;
  }

  template<typename DurationRepT, typename DurationT, typename CallbackT>
  typename WallTimer<CallbackT>::SharedPtr create_wall_timer(
    std::chrono::duration<DurationRepT, DurationT> period, CallbackT callback)
  {
    auto timer = std::make_shared<WallTimer<CallbackT>>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(period), std::move(callback),
      handle_->context());
    handle_->add_timer(timer);
    return timer;
  }

  template<typename ServiceT, typename CallbackT>
  typename Service<ServiceT>::SharedPtr create_service(
    const std::string & service_name, CallbackT && callback,
    const rmw_qos_profile_t & qos_profile = rmw_qos_profile_services_default,
    CallbackGroup::SharedPtr group = nullptr)
  {
    (void)group;
    auto service = std::make_shared<Service<ServiceT>>(
      handle_, handle_->resolve_service_name(service_name),
      AnyServiceCallback<ServiceT>(std::forward<CallbackT>(callback)), qos_profile, logger_);
    handle_->add_executable(service);
    return service;
  }

  template<typename ServiceT>
  typename Client<ServiceT>::SharedPtr create_client(
    const std::string & service_name,
    const rmw_qos_profile_t & qos_profile = rmw_qos_profile_services_default,
    CallbackGroup::SharedPtr group = nullptr)
  {
    (void)group;
    auto client = std::make_shared<Client<ServiceT>>(
      handle_, handle_->resolve_service_name(service_name), qos_profile);
    handle_->add_executable(client);
    return client;
  }

  const ParameterValue & declare_parameter(
    const std::string & name, const ParameterValue & default_value,
    const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
    rcl_interfaces::msg::ParameterDescriptor(),
    bool ignore_override = false);

  const ParameterValue & declare_parameter(
    const std::string & name, ParameterType type,
    const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
    rcl_interfaces::msg::ParameterDescriptor(),
    bool ignore_override = false);

  template<typename ParameterT>
  auto declare_parameter(
    const std::string & name, const ParameterT & default_value,
    const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
    rcl_interfaces::msg::ParameterDescriptor(),
    bool ignore_override = false)
  {
    try {
      return declare_parameter(
        name, ParameterValue(default_value), parameter_descriptor, ignore_override)
             .template get<ParameterT>();
    } catch (const ParameterTypeException & ex) {
      throw exceptions::InvalidParameterValueException(ex.what());
    }
  }

  template<typename ParameterT>
  auto declare_parameter(
    const std::string & name,
    const rcl_interfaces::msg::ParameterDescriptor & parameter_descriptor =
    rcl_interfaces::msg::ParameterDescriptor(),
    bool ignore_override = false)
  {
    // The parameter's type is the one ParameterValue gives ParameterT.
    const ParameterValue typed{ParameterT{}};
    try {
      return declare_parameter(name, typed.get_type(), parameter_descriptor, ignore_override)
             .template get<ParameterT>();
    } catch (const ParameterTypeException &) {
      throw exceptions::UninitializedStaticallyTypedParameterException(name);
    }
  }

  void undeclare_parameter(const std::string & name);
  bool has_parameter(const std::string & name) const;

  // Throws ParameterNotDeclaredException unless undeclared parameters are allowed.
  Parameter get_parameter(const std::string & name) const;
  bool get_parameter(const std::string & name, Parameter & parameter) const;

  // Throws InvalidParameterTypeException when the value is not a ParameterT.
  template<typename ParameterT>
  bool get_parameter(const std::string & name, ParameterT & parameter) const
  {
    Parameter parameter_variant;
    const bool result = get_parameter(name, parameter_variant);
    if (result) {
      try {
        parameter = static_cast<ParameterT>(parameter_variant.get_value<ParameterT>());
      } catch (const ParameterTypeException & ex) {
        throw exceptions::InvalidParameterTypeException(name, ex.what());
      }
    }
    return result;
  }

  template<typename ParameterT>
  bool get_parameter_or(
    const std::string & name, ParameterT & parameter, const ParameterT & alternative_value) const
  {
    const bool got_parameter = get_parameter(name, parameter);
    if (!got_parameter) {
      parameter = alternative_value;
    }
    return got_parameter;
  }

  template<typename ParameterT>
  ParameterT get_parameter_or(const std::string & name, const ParameterT & alternative_value) const
  {
    ParameterT parameter;
    get_parameter_or(name, parameter, alternative_value);
    return parameter;
  }

  std::vector<Parameter> get_parameters(const std::vector<std::string> & names) const;

  rcl_interfaces::msg::SetParametersResult set_parameter(const Parameter & parameter);
  // Each parameter on its own, one result per parameter.
  std::vector<rcl_interfaces::msg::SetParametersResult> set_parameters(
    const std::vector<Parameter> & parameters);
  // All or none.
  rcl_interfaces::msg::SetParametersResult set_parameters_atomically(
    const std::vector<Parameter> & parameters);

  rcl_interfaces::msg::ParameterDescriptor describe_parameter(const std::string & name) const;
  std::vector<rcl_interfaces::msg::ParameterDescriptor> describe_parameters(
    const std::vector<std::string> & names) const;
  std::vector<uint8_t> get_parameter_types(const std::vector<std::string> & names) const;
  rcl_interfaces::msg::ListParametersResult list_parameters(
    const std::vector<std::string> & prefixes, uint64_t depth) const;

  // What discovery has seen on a topic (name resolved as for a publisher).
  size_t count_publishers(const std::string & topic_name) const;
  size_t count_subscribers(const std::string & topic_name) const;
  // ROS topic names and their ROS type names ("sensor_msgs/msg/Image").
  std::map<std::string, std::vector<std::string>> get_topic_names_and_types() const;

  // The handle an executor walks to find this node's work.
  const std::shared_ptr<detail::NodeHandle> & get_node_handle() const {return handle_;}

private:
  NodeOptions options_;
  std::shared_ptr<detail::NodeHandle> handle_;
  std::string fully_qualified_name_;
  Logger logger_;
  Clock::SharedPtr clock_;
  std::unique_ptr<detail::RosoutSink> rosout_;
  std::shared_ptr<Publisher<rcl_interfaces::msg::ParameterEvent>> parameter_events_;
  detail::NodeParameters parameters_;
  std::shared_ptr<ParameterService> parameter_service_;
};

}  // namespace rclcpp

#endif  // RCLCPP__NODE_HPP_
