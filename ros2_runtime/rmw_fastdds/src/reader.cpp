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
  std::function<void()> on_data, Filter filter)
: participant_(participant), topic_(topic), on_data_(std::move(on_data)),
  filter_(std::move(filter)),
  keep_last_(qos.history().kind == dds::KEEP_LAST_HISTORY_QOS ?
    static_cast<size_t>(qos.history().depth) : 0)
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

namespace
{

// The next sample with a message in it; instance state changes carry none.
bool take_valid(dds::DataReader & reader, std::vector<uint8_t> & payload, SampleMeta & meta)
{
  dds::SampleInfo info;
  while (reader.take_next_sample(&payload, &info) == ReturnCode_t::RETCODE_OK) {
    if (info.valid_data) {
      meta.sample_identity = info.sample_identity;
      meta.related_sample_identity = info.related_sample_identity;
      meta.source_timestamp_ns = to_ns(info.source_timestamp);
      meta.received_timestamp_ns = to_ns(info.reception_timestamp);
      return true;
    }
  }
  return false;
}

}  // namespace

bool Reader::take(std::vector<uint8_t> & payload, SampleMeta * meta)
{
  if (!filter_) {
    SampleMeta taken;
    if (!take_valid(*reader_, payload, taken)) {
      return false;
    }
    if (meta != nullptr) {
      *meta = taken;
    }
    return true;
  }
  std::lock_guard<std::mutex> lock(kept_mutex_);
  if (kept_.empty()) {
    return false;
  }
  payload = std::move(kept_.front().payload);
  if (meta != nullptr) {
    *meta = kept_.front().meta;
  }
  kept_.pop_front();
  return true;
}

bool Reader::has_data() const
{
  if (filter_) {
    std::lock_guard<std::mutex> lock(kept_mutex_);
    return !kept_.empty();
  }
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

void Reader::on_data_available(dds::DataReader * reader)
{
  if (filter_) {
    Kept sample;
    bool kept = false;
    while (take_valid(*reader, sample.payload, sample.meta)) {
      if (!filter_(sample.meta, reader->guid())) {
        continue;
      }
      std::lock_guard<std::mutex> lock(kept_mutex_);
      if (keep_last_ > 0 && kept_.size() >= keep_last_) {
        kept_.pop_front();
      }
      kept_.push_back(std::move(sample));
      sample = Kept{};
      kept = true;
    }
    if (!kept) {
      return;
    }
  }
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
