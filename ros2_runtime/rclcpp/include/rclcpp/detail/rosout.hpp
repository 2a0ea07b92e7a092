// Log records on /rosout: each node publishes, as rcl does, the records of
// the logger named after it (not its children's, nor other loggers').
#ifndef RCLCPP__DETAIL__ROSOUT_HPP_
#define RCLCPP__DETAIL__ROSOUT_HPP_

#include <cstdint>
#include <memory>
#include <string>

#include "rcl_interfaces/msg/log.hpp"
#include "rclcpp/detail/node_handle.hpp"
#include "rclcpp/logger.hpp"
#include "rclcpp/logging.hpp"
#include "rclcpp/publisher.hpp"

namespace rclcpp
{
namespace detail
{

// A node's /rosout publisher, taking the records of `logger_name` while it lives.
class RosoutSink
{
public:
  RosoutSink(const std::shared_ptr<NodeHandle> & node, const std::string & logger_name);
  ~RosoutSink();

  RosoutSink(const RosoutSink &) = delete;
  RosoutSink & operator=(const RosoutSink &) = delete;

  void publish(const rcl_interfaces::msg::Log & record);
  const std::string & logger_name() const {return logger_name_;}

private:
  std::string logger_name_;
  std::shared_ptr<Publisher<rcl_interfaces::msg::Log>> publisher_;
};

// Hands one record to the sinks of its logger, if any.
void publish_to_rosout(
  Logger::Level severity, const char * logger_name, const logging::LogLocation & location,
  const std::string & message, int64_t stamp_ns);

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__ROSOUT_HPP_
