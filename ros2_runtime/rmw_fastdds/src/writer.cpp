#include "rmw_fastdds/writer.hpp"

#include <fastdds/dds/publisher/Publisher.hpp>
#include <fastdds/rtps/common/InstanceHandle.h>

#include <stdexcept>
#include <string>

#include "rmw_fastdds/participant.hpp"
#include "rmw_fastdds/payload_type.hpp"

namespace rmw_fastdds
{

namespace dds = eprosima::fastdds::dds;

namespace
{

// Serialized bytes pass through the same type as messages.
const MessageOps & byte_ops()
{
  static const MessageOps ops{
    "",
    [](const void * msg) {return static_cast<const std::vector<uint8_t> *>(msg)->size();},
    [](const void * msg, uint8_t * out) {
      const auto & bytes = *static_cast<const std::vector<uint8_t> *>(msg);
      std::copy(bytes.begin(), bytes.end(), out);
    }
  };
  return ops;
}

}  // namespace

Writer::Writer(Participant * participant, dds::Topic * topic, const dds::DataWriterQos & qos)
: participant_(participant), topic_(topic)
{
  writer_ = participant_->publisher_->create_datawriter(
    topic_, qos, this, dds::StatusMask::publication_matched());
  if (writer_ == nullptr) {
    participant_->release_topic(topic_);
    throw std::runtime_error("failed to create a DDS writer on '" + topic_->get_name() + "'");
  }
}

Writer::~Writer()
{
  writer_->set_listener(nullptr);
  participant_->publisher_->delete_datawriter(writer_);
  participant_->release_topic(topic_);
}

bool Writer::write(const MessageOps & ops, const void * msg)
{
  OutgoingSample sample{&ops, msg};
  return writer_->write(&sample);
}

bool Writer::write(
  const MessageOps & ops, const void * msg, eprosima::fastrtps::rtps::WriteParams & params)
{
  OutgoingSample sample{&ops, msg};
  return writer_->write(&sample, params);
}

bool Writer::write_serialized(const std::vector<uint8_t> & payload)
{
  return write(byte_ops(), &payload);
}

size_t Writer::matched_count() const
{
  std::lock_guard<std::mutex> lock(matched_mutex_);
  return matched_.size();
}

bool Writer::is_matched(const eprosima::fastrtps::rtps::GUID_t & reader) const
{
  std::lock_guard<std::mutex> lock(matched_mutex_);
  return matched_.count(reader) > 0;
}

bool Writer::wait_for_match(
  const eprosima::fastrtps::rtps::GUID_t & reader, std::chrono::nanoseconds timeout) const
{
  std::unique_lock<std::mutex> lock(matched_mutex_);
  return matched_changed_.wait_for(lock, timeout, [&] {return matched_.count(reader) > 0;});
}

eprosima::fastrtps::rtps::GUID_t Writer::guid() const
{
  return writer_->guid();
}

void Writer::on_publication_matched(
  dds::DataWriter *, const dds::PublicationMatchedStatus & status)
{
  const auto reader = eprosima::fastrtps::rtps::iHandle2GUID(status.last_subscription_handle);
  {
    std::lock_guard<std::mutex> lock(matched_mutex_);
    if (status.current_count_change > 0) {
      matched_.insert(reader);
    } else if (status.current_count_change < 0) {
      matched_.erase(reader);
    }
  }
  matched_changed_.notify_all();
}

}  // namespace rmw_fastdds
