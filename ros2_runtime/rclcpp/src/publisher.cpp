#include "rclcpp/publisher.hpp"

#include <string>

#include "rclcpp/exceptions.hpp"
#include "rmw_fastdds/graph.hpp"
#include "rmw_fastdds/names.hpp"
#include "rmw_fastdds/participant.hpp"
#include "rmw_fastdds/writer.hpp"

namespace rclcpp
{

PublisherBase::PublisherBase(
  std::shared_ptr<detail::NodeHandle> node, const std::string & topic_name,
  const char * dds_type_name, const QoS & qos)
: node_(std::move(node)), topic_name_(topic_name), qos_(qos)
{
  const auto & profile = qos_.get_rmw_qos_profile();
  const std::string dds_topic =
    rmw_fastdds::topic_name(topic_name_, profile.avoid_ros_namespace_conventions);
  writer_ = node_->participant().create_writer(dds_topic, dds_type_name, profile);
  node_->participant().graph().add_writer(node_->graph_id(), writer_->gid());
}

PublisherBase::~PublisherBase()
{
  node_->participant().graph().remove_writer(node_->graph_id(), writer_->gid());
}

size_t PublisherBase::get_subscription_count() const
{
  return writer_->matched_count();
}

void PublisherBase::publish_message(const rmw_fastdds::MessageOps & ops, const void * msg)
{
  if (!writer_->write(ops, msg) && node_->context()->is_valid()) {
    throw exceptions::RCLError("failed to publish message", "the DDS writer refused the sample");
  }
}

}  // namespace rclcpp
