#include "rclcpp/service.hpp"

#include <string>
#include <vector>

#include "rclcpp/exceptions.hpp"
#include "rclcpp/logging.hpp"
#include "rmw_fastdds/graph.hpp"
#include "rmw_fastdds/names.hpp"
#include "rmw_fastdds/participant.hpp"
#include "rmw_fastdds/reader.hpp"
#include "rmw_fastdds/request_reply.hpp"
#include "rmw_fastdds/writer.hpp"

namespace rclcpp
{

ServiceBase::ServiceBase(
  std::shared_ptr<detail::NodeHandle> node, const std::string & service_name,
  const char * request_dds_type, const char * response_dds_type,
  const rmw_qos_profile_t & qos, Logger node_logger)
: node_(std::move(node)), service_name_(service_name), node_logger_(std::move(node_logger))
{
  auto & participant = node_->participant();
  // A Fast DDS thread calls this; it only wakes whoever waits on the context.
  std::weak_ptr<Context> context = node_->context();
  request_reader_ = participant.create_reader(
    rmw_fastdds::request_topic_name(service_name_), request_dds_type, qos, [context]() {
      if (auto c = context.lock()) {
        c->work_signal().notify();
      }
    });
  response_writer_ = participant.create_writer(
    rmw_fastdds::reply_topic_name(service_name_), response_dds_type, qos);
  participant.graph().add_reader(node_->graph_id(), request_reader_->gid());
  participant.graph().add_writer(node_->graph_id(), response_writer_->gid());
}

ServiceBase::~ServiceBase()
{
  node_->participant().graph().remove_writer(node_->graph_id(), response_writer_->gid());
  node_->participant().graph().remove_reader(node_->graph_id(), request_reader_->gid());
}

bool ServiceBase::has_data() const
{
  return request_reader_->has_data();
}

bool ServiceBase::take_payload(std::vector<uint8_t> & payload, rmw_request_id_t & request_id)
{
  rmw_fastdds::SampleMeta meta;
  if (!request_reader_->take(payload, &meta)) {
    return false;
  }
  request_id = rmw_fastdds::request_id(meta);
  return true;
}

void ServiceBase::send_response_message(
  const rmw_request_id_t & request_id, const rmw_fastdds::MessageOps & ops, const void * msg)
{
  switch (rmw_fastdds::send_reply(*response_writer_, *request_reader_, request_id, ops, msg)) {
    case rmw_fastdds::ReplyResult::sent:
    case rmw_fastdds::ReplyResult::client_gone:
      return;
    case rmw_fastdds::ReplyResult::client_not_matched:
      RCLCPP_WARN(
        node_logger_.get_child("rclcpp"), "failed to send response to %s (timeout): %s",
        service_name_.c_str(), "client will not receive response");
      return;
    case rmw_fastdds::ReplyResult::refused:
      if (node_->context()->is_valid()) {
        throw exceptions::RCLError("failed to send response", "cannot publish data");
      }
      return;
  }
}

void ServiceBase::log_malformed(size_t payload_size) const
{
  RCLCPP_ERROR(
    rclcpp::get_logger("rclcpp"), "dropped a malformed request of %zu bytes on '%s'",
    payload_size, service_name_.c_str());
}

}  // namespace rclcpp
