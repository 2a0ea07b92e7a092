// Subscriptions: one DDS reader each. Arriving samples only wake the
// context; the executor (or wait_for_message) takes and decodes them on its
// own thread. A sample that does not decode is dropped with one log line.
#ifndef RCLCPP__SUBSCRIPTION_HPP_
#define RCLCPP__SUBSCRIPTION_HPP_

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/any_subscription_callback.hpp"
#include "rclcpp/detail/executable.hpp"
#include "rclcpp/detail/node_handle.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/message_info.hpp"
#include "rclcpp/qos.hpp"
#include "rosidl_runtime_cpp/type_support.hpp"

namespace rmw_fastdds
{
class Reader;
}

namespace rclcpp
{

class SubscriptionBase : public detail::Executable
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(SubscriptionBase)

  SubscriptionBase(
    std::shared_ptr<detail::NodeHandle> node, const std::string & topic_name,
    const char * dds_type_name, const char * type_name, const QoS & qos);
  virtual ~SubscriptionBase();

  SubscriptionBase(const SubscriptionBase &) = delete;
  SubscriptionBase & operator=(const SubscriptionBase &) = delete;

  const char * get_topic_name() const {return topic_name_.c_str();}
  size_t get_publisher_count() const;
  QoS get_actual_qos() const {return qos_;}

  bool has_data() const override;

  // Blocks until a sample waits, the deadline passes or the context shuts
  // down; true only in the first case.
  bool wait_for_data(std::chrono::steady_clock::time_point deadline);

protected:
  // One waiting sample's wire bytes; false when none waits.
  bool take_payload(std::vector<uint8_t> & payload, MessageInfo & info);
  void log_malformed(size_t payload_size) const;

private:
  std::shared_ptr<detail::NodeHandle> node_;
  std::string topic_name_;
  std::string type_name_;
  QoS qos_;
  std::shared_ptr<rmw_fastdds::Reader> reader_;
};

template<typename MessageT, typename AllocatorT = std::allocator<void>>
class Subscription : public SubscriptionBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Subscription<MessageT, AllocatorT>)

  using Support = rosidl_runtime_cpp::TypeSupport<MessageT>;

  Subscription(
    std::shared_ptr<detail::NodeHandle> node, const std::string & topic_name, const QoS & qos,
    AnySubscriptionCallback<MessageT> callback)
  : SubscriptionBase(std::move(node), topic_name, Support::dds_type_name, Support::type_name, qos),
    callback_(std::move(callback)) {}

  // Takes one message without running the callback; false when none waited
  // (or the one waiting did not decode).
  bool take(MessageT & message_out, MessageInfo & message_info_out)
  {
    if (!take_payload(payload_, message_info_out)) {
      return false;
    }
    if (!Support::deserialize(payload_.data(), payload_.size(), message_out)) {
      log_malformed(payload_.size());
      return false;
    }
    return true;
  }

  bool execute_one() override
  {
    MessageInfo info;
    auto message = std::make_unique<MessageT>();
    if (!take(*message, info)) {
      return false;
    }
    callback_.dispatch(std::move(message));
    return true;
  }

private:
  AnySubscriptionCallback<MessageT> callback_;
  std::vector<uint8_t> payload_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SUBSCRIPTION_HPP_
