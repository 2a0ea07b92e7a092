#include "rclcpp/subscription.hpp"

#include <string>
#include <vector>

#include "rclcpp/logging.hpp"
#include "rmw_fastdds/graph.hpp"
#include "rmw_fastdds/names.hpp"
#include "rmw_fastdds/participant.hpp"
#include "rmw_fastdds/reader.hpp"

namespace rclcpp
{

SubscriptionBase::SubscriptionBase(
  std::shared_ptr<detail::NodeHandle> node, const std::string & topic_name,
  const char * dds_type_name, const char * type_name, const QoS & qos)
: node_(std::move(node)), topic_name_(topic_name), type_name_(type_name), qos_(qos)
{
  const auto & profile = qos_.get_rmw_qos_profile();
  const std::string dds_topic =
    rmw_fastdds::topic_name(topic_name_, profile.avoid_ros_namespace_conventions);
  // A Fast DDS thread calls this; it only wakes whoever waits on the context.
  std::weak_ptr<Context> context = node_->context();
  reader_ = node_->participant().create_reader(
    dds_topic, dds_type_name, profile, [context]() {
      if (auto c = context.lock()) {
        c->work_signal().notify();
      }
    });
  node_->participant().graph().add_reader(node_->graph_id(), reader_->gid());
}

SubscriptionBase::~SubscriptionBase()
{
  node_->participant().graph().remove_reader(node_->graph_id(), reader_->gid());
}

size_t SubscriptionBase::get_publisher_count() const
{
  return reader_->matched_count();
}

bool SubscriptionBase::has_data() const
{
  return reader_->has_data();
}

bool SubscriptionBase::wait_for_data(std::chrono::steady_clock::time_point deadline)
{
  auto & signal = node_->context()->work_signal();
  while (true) {
    const uint64_t seen = signal.generation();
    if (!node_->context()->is_valid()) {
      return false;
    }
    if (has_data()) {
      return true;
    }
    if (!signal.wait_until(seen, deadline)) {
      return node_->context()->is_valid() && has_data();
    }
  }
}

bool SubscriptionBase::take_payload(std::vector<uint8_t> & payload, MessageInfo & info)
{
  rmw_fastdds::SampleMeta meta;
  if (!reader_->take(payload, &meta)) {
    return false;
  }
  auto & rmw_info = info.get_rmw_message_info();
  rmw_info.source_timestamp = meta.source_timestamp_ns;
  rmw_info.received_timestamp = meta.received_timestamp_ns;
  rmw_info.publication_sequence_number = meta.sample_identity.sequence_number().to64long();
  const auto gid = rmw_fastdds::to_gid(meta.sample_identity.writer_guid());
  std::copy(gid.begin(), gid.end(), rmw_info.publisher_gid.data);
  return true;
}

void SubscriptionBase::log_malformed(size_t payload_size) const
{
  RCLCPP_ERROR(
    rclcpp::get_logger("rclcpp"), "dropped a malformed %s sample of %zu bytes on '%s'",
    type_name_.c_str(), payload_size, topic_name_.c_str());
}

}  // namespace rclcpp
