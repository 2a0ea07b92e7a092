// rclcpp's exception types, with rclcpp's and rcl's texts.
#ifndef RCLCPP__EXCEPTIONS__EXCEPTIONS_HPP_
#define RCLCPP__EXCEPTIONS__EXCEPTIONS_HPP_

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace rclcpp
{
namespace exceptions
{

class InvalidNodeError : public std::runtime_error
{
public:
  InvalidNodeError()
  : std::runtime_error("node is invalid") {}
};

// A name (node, namespace, topic, service) failed validation; the text
// points at the offending character.
class NameValidationError : public std::invalid_argument
{
public:
  NameValidationError(
    const char * name_type_, const char * name_, const char * error_msg_,
    size_t invalid_index_)
  : std::invalid_argument(format_error(name_type_, name_, error_msg_, invalid_index_)),
    name_type(name_type_), name(name_), error_msg(error_msg_), invalid_index(invalid_index_)
  {}

  static std::string format_error(
    const char * name_type, const char * name, const char * error_msg, size_t invalid_index);

  const std::string name_type;
  const std::string name;
  const std::string error_msg;
  const size_t invalid_index;
};

class InvalidNodeNameError : public NameValidationError
{
public:
  InvalidNodeNameError(const char * node_name, const char * error_msg, size_t invalid_index)
  : NameValidationError("node name", node_name, error_msg, invalid_index) {}
};

class InvalidNamespaceError : public NameValidationError
{
public:
  InvalidNamespaceError(const char * namespace_, const char * error_msg, size_t invalid_index)
  : NameValidationError("namespace", namespace_, error_msg, invalid_index) {}
};

class InvalidTopicNameError : public NameValidationError
{
public:
  InvalidTopicNameError(const char * topic_name, const char * error_msg, size_t invalid_index)
  : NameValidationError("topic name", topic_name, error_msg, invalid_index) {}
};

class InvalidServiceNameError : public NameValidationError
{
public:
  InvalidServiceNameError(const char * service_name, const char * error_msg, size_t invalid_index)
  : NameValidationError("service name", service_name, error_msg, invalid_index) {}
};

// An error reported by the layers beneath rclcpp (rcl in ROS 2).
class RCLError : public std::runtime_error
{
public:
  RCLError(const std::string & prefix, const std::string & message)
  : std::runtime_error(prefix.empty() ? message : prefix + ": " + message), message(message) {}

  const std::string message;
};

class RCLInvalidArgument : public std::invalid_argument
{
public:
  RCLInvalidArgument(const std::string & prefix, const std::string & message)
  : std::invalid_argument(prefix.empty() ? message : prefix + ": " + message) {}
};

// Malformed ROS arguments on the command line.
class RCLInvalidROSArgsError : public std::runtime_error
{
public:
  RCLInvalidROSArgsError(const std::string & prefix, const std::string & message)
  : std::runtime_error(prefix.empty() ? message : prefix + ": " + message) {}
};

class UnknownROSArgsError : public std::runtime_error
{
public:
  explicit UnknownROSArgsError(std::vector<std::string> && unknown_ros_args_in)
  : std::runtime_error("found unknown ROS arguments: '" + join(unknown_ros_args_in) + "'"),
    unknown_ros_args(unknown_ros_args_in)
  {}

  const std::vector<std::string> unknown_ros_args;

private:
  static std::string join(const std::vector<std::string> & args)
  {
    std::string out;
    for (size_t i = 0; i < args.size(); ++i) {
      out += (i == 0 ? "" : "', '") + args[i];
    }
    return out;
  }
};

class InvalidParametersException : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

class InvalidParameterValueException : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

// As ParameterTypeException, with the parameter's name in the text.
class InvalidParameterTypeException : public std::runtime_error
{
public:
  InvalidParameterTypeException(const std::string & name, const std::string message)
  : std::runtime_error("parameter '" + name + "' has invalid type: " + message) {}
};

class UninitializedStaticallyTypedParameterException : public std::runtime_error
{
public:
  explicit UninitializedStaticallyTypedParameterException(const std::string & name)
  : std::runtime_error("Statically typed parameter '" + name + "' must be initialized.") {}
};

class ParameterAlreadyDeclaredException : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

class ParameterNotDeclaredException : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

class ParameterImmutableException : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

class ParameterUninitializedException : public std::runtime_error
{
public:
  explicit ParameterUninitializedException(const std::string & name)
  : std::runtime_error("parameter '" + name + "' is not initialized") {}
};

}  // namespace exceptions
}  // namespace rclcpp

#endif  // RCLCPP__EXCEPTIONS__EXCEPTIONS_HPP_
