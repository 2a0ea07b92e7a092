#include "rclcpp/parameter_service.hpp"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "rclcpp/logging.hpp"
#include "rclcpp/node.hpp"

namespace rclcpp
{
namespace
{

namespace srv = rcl_interfaces::srv;

Logger service_logger()
{
  return get_logger("rclcpp");
}

// A request naming an undeclared parameter gets an empty answer, as rclcpp's does.
template<typename Fill>
void answer_or_leave_empty(const char * what, Fill && fill)
{
  try {
    fill();
  } catch (const exceptions::ParameterNotDeclaredException & e) {
    RCLCPP_DEBUG(service_logger(), "Failed to %s: %s", what, e.what());
  } catch (const exceptions::ParameterUninitializedException & e) {
    RCLCPP_DEBUG(service_logger(), "Failed to %s: %s", what, e.what());
  }
}

}  // namespace

ParameterService::ParameterService(Node & node, const rmw_qos_profile_t & qos_profile)
{
  // Relative names: they land under the node's namespace.
  const std::string prefix = std::string(node.get_name()) + "/";

  get_parameters_service_ = node.create_service<srv::GetParameters>(
    prefix + "get_parameters",
    [&node](
      const std::shared_ptr<srv::GetParameters::Request> request,
      std::shared_ptr<srv::GetParameters::Response> response)
    {
      answer_or_leave_empty(
        "get parameters", [&] {
          for (const auto & parameter : node.get_parameters(request->names)) {
            response->values.push_back(parameter.get_value_message());
          }
        });
    },
    qos_profile);

  get_parameter_types_service_ = node.create_service<srv::GetParameterTypes>(
    prefix + "get_parameter_types",
    [&node](
      const std::shared_ptr<srv::GetParameterTypes::Request> request,
      std::shared_ptr<srv::GetParameterTypes::Response> response)
    {
      answer_or_leave_empty(
        "get parameter types", [&] {
          response->types = node.get_parameter_types(request->names);
        });
    },
    qos_profile);

  // One at a time, so one parameter's failure does not keep the others.
  set_parameters_service_ = node.create_service<srv::SetParameters>(
    prefix + "set_parameters",
    [&node](
      const std::shared_ptr<srv::SetParameters::Request> request,
      std::shared_ptr<srv::SetParameters::Response> response)
    {
      for (const auto & parameter : request->parameters) {
        rcl_interfaces::msg::SetParametersResult result;
        try {
          result = node.set_parameters_atomically({Parameter::from_parameter_msg(parameter)});
        } catch (const std::runtime_error & e) {
          // Undeclared, unnamed, or of a type number that does not exist.
          RCLCPP_DEBUG(service_logger(), "Failed to set parameter: %s", e.what());
          result.successful = false;
          result.reason = e.what();
        }
        response->results.push_back(result);
      }
    },
    qos_profile);

  set_parameters_atomically_service_ = node.create_service<srv::SetParametersAtomically>(
    prefix + "set_parameters_atomically",
    [&node](
      const std::shared_ptr<srv::SetParametersAtomically::Request> request,
      std::shared_ptr<srv::SetParametersAtomically::Response> response)
    {
      try {
        std::vector<Parameter> parameters;
        for (const auto & parameter : request->parameters) {
          parameters.push_back(Parameter::from_parameter_msg(parameter));
        }
        response->result = node.set_parameters_atomically(parameters);
      } catch (const exceptions::ParameterNotDeclaredException & e) {
        RCLCPP_DEBUG(service_logger(), "Failed to set parameters atomically: %s", e.what());
        response->result.successful = false;
        response->result.reason = "One or more parameters were not declared before setting";
      } catch (const std::runtime_error & e) {
        RCLCPP_DEBUG(service_logger(), "Failed to set parameters atomically: %s", e.what());
        response->result.successful = false;
        response->result.reason = e.what();
      }
    },
    qos_profile);

  describe_parameters_service_ = node.create_service<srv::DescribeParameters>(
    prefix + "describe_parameters",
    [&node](
      const std::shared_ptr<srv::DescribeParameters::Request> request,
      std::shared_ptr<srv::DescribeParameters::Response> response)
    {
      answer_or_leave_empty(
        "describe parameters", [&] {
          response->descriptors = node.describe_parameters(request->names);
        });
    },
    qos_profile);

  list_parameters_service_ = node.create_service<srv::ListParameters>(
    prefix + "list_parameters",
    [&node](
      const std::shared_ptr<srv::ListParameters::Request> request,
      std::shared_ptr<srv::ListParameters::Response> response)
    {
      response->result = node.list_parameters(request->prefixes, request->depth);
    },
    qos_profile);
}

}  // namespace rclcpp
