#include "rclcpp/detail/rosout.hpp"

#include <cstdio>
#include <exception>
#include <map>
#include <mutex>
#include <string>

#include "rmw/qos_profiles.h"

namespace rclcpp
{
namespace detail
{
namespace
{

// rcl's profile for /rosout: late joiners get the last records of the last 10 s.
const rmw_qos_profile_t rosout_qos_profile = {
  RMW_QOS_POLICY_HISTORY_KEEP_LAST, 1000, RMW_QOS_POLICY_RELIABILITY_RELIABLE,
  RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL, RMW_DURATION_UNSPECIFIED, {10, 0},
  RMW_QOS_POLICY_LIVELINESS_SYSTEM_DEFAULT, RMW_DURATION_UNSPECIFIED, false
};

struct Sinks
{
  std::mutex mutex;
  std::multimap<std::string, RosoutSink *> by_logger;
};

Sinks & sinks()
{
  static Sinks s;
  return s;
}

// A record logged while publishing one (by the DDS layer, say) stays on the
// console, so publishing never re-enters itself.
thread_local bool publishing = false;

}  // namespace

RosoutSink::RosoutSink(const std::shared_ptr<NodeHandle> & node, const std::string & logger_name)
: logger_name_(logger_name),
  publisher_(std::make_shared<Publisher<rcl_interfaces::msg::Log>>(
      node, node->resolve_topic_name("/rosout"),
      QoS(QoSInitialization::from_rmw(rosout_qos_profile), rosout_qos_profile)))
{
  std::lock_guard<std::mutex> lock(sinks().mutex);
  sinks().by_logger.emplace(logger_name_, this);
}

RosoutSink::~RosoutSink()
{
  std::lock_guard<std::mutex> lock(sinks().mutex);
  auto range = sinks().by_logger.equal_range(logger_name_);
  for (auto it = range.first; it != range.second; ++it) {
    if (it->second == this) {
      sinks().by_logger.erase(it);
      break;
    }
  }
}

void RosoutSink::publish(const rcl_interfaces::msg::Log & record)
{
  publisher_->publish(record);
}

void publish_to_rosout(
  Logger::Level severity, const char * logger_name, const logging::LogLocation & location,
  const std::string & message, int64_t stamp_ns)
{
  if (publishing) {
    return;
  }
  publishing = true;
  std::lock_guard<std::mutex> lock(sinks().mutex);
  auto range = sinks().by_logger.equal_range(logger_name);
  if (range.first != range.second) {
    rcl_interfaces::msg::Log record;
    record.stamp.sec = static_cast<int32_t>(stamp_ns / 1000000000LL);
    record.stamp.nanosec = static_cast<uint32_t>(stamp_ns % 1000000000LL);
    record.level = static_cast<uint8_t>(severity);
    record.name = logger_name;
    record.msg = message;
    record.file = location.file_name;
    record.function = location.function_name;
    record.line = static_cast<uint32_t>(location.line_number);
    for (auto it = range.first; it != range.second; ++it) {
      try {
        it->second->publish(record);
      } catch (const std::exception & e) {
        std::fprintf(stderr, "failed to publish log record on /rosout: %s\n", e.what());
      }
    }
  }
  publishing = false;
}

}  // namespace detail
}  // namespace rclcpp
