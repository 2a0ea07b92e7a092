// How a node is built: its context, its own arguments and parameter
// overrides, how undeclared parameters are treated, and which of the
// standard entities it starts.
#ifndef RCLCPP__NODE_OPTIONS_HPP_
#define RCLCPP__NODE_OPTIONS_HPP_

#include <string>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/parameter.hpp"

namespace rclcpp
{

class NodeOptions
{
public:
  NodeOptions() = default;

  Context::SharedPtr context() const
  {
    return context_ ? context_ : contexts::get_global_default_context();
  }
  NodeOptions & context(Context::SharedPtr context) {context_ = context; return *this;}

  const std::vector<std::string> & arguments() const {return arguments_;}
  NodeOptions & arguments(const std::vector<std::string> & arguments)
  {
    arguments_ = arguments;
    return *this;
  }

  bool use_global_arguments() const {return use_global_arguments_;}
  NodeOptions & use_global_arguments(bool use) {use_global_arguments_ = use; return *this;}

  std::vector<Parameter> & parameter_overrides() {return parameter_overrides_;}
  const std::vector<Parameter> & parameter_overrides() const {return parameter_overrides_;}
  NodeOptions & parameter_overrides(const std::vector<Parameter> & overrides)
  {
    parameter_overrides_ = overrides;
    return *this;
  }
  template<typename ParameterT>
  NodeOptions & append_parameter_override(const std::string & name, const ParameterT & value)
  {
    parameter_overrides_.emplace_back(name, ParameterValue(value));
    return *this;
  }

  bool allow_undeclared_parameters() const {return allow_undeclared_parameters_;}
  NodeOptions & allow_undeclared_parameters(bool allow)
  {
    allow_undeclared_parameters_ = allow;
    return *this;
  }

  bool automatically_declare_parameters_from_overrides() const
  {
    return automatically_declare_parameters_from_overrides_;
  }
  NodeOptions & automatically_declare_parameters_from_overrides(bool declare)
  {
    automatically_declare_parameters_from_overrides_ = declare;
    return *this;
  }

  // What every node has unless told otherwise: the parameter services,
  // parameter events and log records on /rosout.
  bool start_parameter_services() const {return start_parameter_services_;}
  NodeOptions & start_parameter_services(bool start)
  {
    start_parameter_services_ = start;
    return *this;
  }

  bool start_parameter_event_publisher() const {return start_parameter_event_publisher_;}
  NodeOptions & start_parameter_event_publisher(bool start)
  {
    start_parameter_event_publisher_ = start;
    return *this;
  }

  bool enable_rosout() const {return enable_rosout_;}
  NodeOptions & enable_rosout(bool enable) {enable_rosout_ = enable; return *this;}

private:
  Context::SharedPtr context_;
  std::vector<std::string> arguments_;
  bool use_global_arguments_ = true;
  std::vector<Parameter> parameter_overrides_;
  bool allow_undeclared_parameters_ = false;
  bool automatically_declare_parameters_from_overrides_ = false;
  bool start_parameter_services_ = true;
  bool start_parameter_event_publisher_ = true;
  bool enable_rosout_ = true;
};

}  // namespace rclcpp

#endif  // RCLCPP__NODE_OPTIONS_HPP_
