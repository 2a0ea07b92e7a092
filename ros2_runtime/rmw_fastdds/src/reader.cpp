#include "rmw_fastdds/reader.hpp"

#include <fastdds/dds/subscriber/SampleInfo.hpp>
#include <fastdds/dds/subscriber/Subscriber.hpp>
#include <fastdds/rtps/common/InstanceHandle.h>

#include <stdexcept>
#include <string>
#include <utility>

#include "rmw_fastdds/participant.hpp"

namespace rmw_fastdds
{

namespace dds = eprosima::fastdds::dds;

namespace
{

int64_t to_ns(const eprosima::fastrtps::rtps::Time_t & t)
{
  return static_cast<int64_t>(t.seconds()) * 1000000000LL + t.nanosec();
}

}  // namespace

Reader::Reader(
  Participant * participant, dds::Topic * topic, const dds::DataReaderQos & qos,
  std::function<void()> on_data)
: participant_(participant), topic_(topic), on_data_(std::move(on_data))
{
  dds::StatusMask mask = dds::StatusMask::subscription_matched();
  mask << dds::StatusMask::data_available();
  reader_ = participant_->subscriber_->create_datareader(topic_, qos, this, mask);
  if (reader_ == nullptr) {
    participant_->release_topic(topic_);
    throw std::runtime_error("failed to create a DDS reader on '" + topic_->get_name() + "'");
  }
}

Reader::~Reader()
{
  reader_->set_listener(nullptr);
  participant_->subscriber_->delete_datareader(reader_);
  participant_->release_topic(topic_);
}

bool Reader::take(std::vector<uint8_t> & payload, SampleMeta * meta)
{
  dds::SampleInfo info;
  while (reader_->take_next_sample(&payload, &info) == ReturnCode_t::RETCODE_OK) {
    if (!info.valid_data) {
      continue;  // instance state changes carry no message
    }
    if (meta != nullptr) {
      meta->sample_identity = info.sample_identity;
      meta->related_sample_identity = info.related_sample_identity;
      meta->source_timestamp_ns = to_ns(info.source_timestamp);
      meta->received_timestamp_ns = to_ns(info.reception_timestamp);
    }
    return true;
  }
  return false;
}

bool Reader::has_data() const
{
  // Not get_unread_count(): it loses track when a keep-last history
  // replaces samples nobody has read yet.
  dds::SampleInfo info;
  return reader_->get_first_untaken_info(&info) == ReturnCode_t::RETCODE_OK;
}

bool Reader::has_matched_writer_of(const eprosima::fastrtps::rtps::GuidPrefix_t & participant) const
{
  std::lock_guard<std::mutex> lock(matched_mutex_);
  for (const auto & writer : matched_writers_) {
    if (writer.guidPrefix == participant) {
      return true;
    }
  }
  return false;
}

eprosima::fastrtps::rtps::GUID_t Reader::guid() const
{
  return reader_->guid();
}

void Reader::on_data_available(dds::DataReader *)
{
  if (on_data_) {
    on_data_();
  }
}

void Reader::on_subscription_matched(
  dds::DataReader *, const dds::SubscriptionMatchedStatus & status)
{
  matched_ = static_cast<size_t>(status.current_count);
  const auto writer = eprosima::fastrtps::rtps::iHandle2GUID(status.last_publication_handle);
  std::lock_guard<std::mutex> lock(matched_mutex_);
  if (status.current_count_change > 0) {
    matched_writers_.insert(writer);
  } else if (status.current_count_change < 0) {
    matched_writers_.erase(writer);
  }
}

}  // namespace rmw_fastdds
