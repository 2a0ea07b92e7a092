#include "rclcpp/client.hpp"

#include <algorithm>
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

ClientBase::ClientBase(
  std::shared_ptr<detail::NodeHandle> node, const std::string & service_name,
  const char * request_dds_type, const char * response_dds_type, const rmw_qos_profile_t & qos)
: node_(std::move(node)), service_name_(service_name)
{
  auto & participant = node_->participant();
  request_writer_ = participant.create_writer(
    rmw_fastdds::request_topic_name(service_name_), request_dds_type, qos);
  // A Fast DDS thread calls these. Every client of the service receives
  // every reply: only this client's are kept, as they arrive, so that others'
  // cannot push them out of the reply history.
  std::weak_ptr<Context> context = node_->context();
  response_reader_ = participant.create_reader(
    rmw_fastdds::reply_topic_name(service_name_), response_dds_type, qos, [context]() {
      if (auto c = context.lock()) {
        c->work_signal().notify();
      }
    },
    [request_writer = request_writer_->guid()](
      const rmw_fastdds::SampleMeta & reply, const eprosima::fastrtps::rtps::GUID_t & self) {
      int64_t sequence_id = 0;
      return rmw_fastdds::is_reply_for(reply, self, request_writer, sequence_id);
    });
  participant.graph().add_writer(node_->graph_id(), request_writer_->gid());
  participant.graph().add_reader(node_->graph_id(), response_reader_->gid());
}

ClientBase::~ClientBase()
{
  node_->participant().graph().remove_reader(node_->graph_id(), response_reader_->gid());
  node_->participant().graph().remove_writer(node_->graph_id(), request_writer_->gid());
}

bool ClientBase::service_is_ready() const
{
  const auto & endpoints = node_->participant().endpoints();
  return endpoints.count_readers(rmw_fastdds::request_topic_name(service_name_)) > 0 &&
         endpoints.count_writers(rmw_fastdds::reply_topic_name(service_name_)) > 0 &&
         request_writer_->matched_count() > 0 && response_reader_->matched_count() > 0;
}

bool ClientBase::wait_for_service_nanoseconds(std::chrono::nanoseconds timeout)
{
  // Discovery wakes no one here: look again every few milliseconds.
  constexpr std::chrono::nanoseconds poll = std::chrono::milliseconds(10);
  const auto start = std::chrono::steady_clock::now();
  const auto & context = node_->context();
  while (true) {
    if (!context->is_valid()) {
      return false;
    }
    if (service_is_ready()) {
      return true;
    }
    std::chrono::nanoseconds slice = poll;
    if (timeout >= std::chrono::nanoseconds(0)) {
      const auto left = timeout - (std::chrono::steady_clock::now() - start);
      if (left <= std::chrono::nanoseconds(0)) {
        return false;
      }
      slice = std::min(slice, std::chrono::duration_cast<std::chrono::nanoseconds>(left));
    }
    context->sleep_for(slice);
  }
}

bool ClientBase::has_data() const
{
  return response_reader_->has_data();
}

int64_t ClientBase::send_request_message(const rmw_fastdds::MessageOps & ops, const void * msg)
{
  int64_t sequence_id = 0;
  if (!rmw_fastdds::send_request(
      *request_writer_, response_reader_->guid(), ops, msg, sequence_id))
  {
    throw exceptions::RCLError("failed to send request", "cannot publish data");
  }
  return sequence_id;
}

bool ClientBase::take_payload(std::vector<uint8_t> & payload, int64_t & sequence_id)
{
  rmw_fastdds::SampleMeta meta;
  return response_reader_->take(payload, &meta) &&
         rmw_fastdds::is_reply_for(
    meta, response_reader_->guid(), request_writer_->guid(), sequence_id);
}

void ClientBase::log_malformed(size_t payload_size) const
{
  RCLCPP_ERROR(
    rclcpp::get_logger("rclcpp"), "dropped a malformed response of %zu bytes on '%s'",
    payload_size, service_name_.c_str());
}

}  // namespace rclcpp
