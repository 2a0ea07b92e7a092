// A DDS data reader for one ROS subscription (or a service's request / a
// client's reply side). Its listener runs on a Fast DDS thread and signals
// that data is waiting; samples are taken by whoever spins. A reader with a
// filter (a client's reply side) takes each sample as it arrives and keeps
// only those the filter accepts, so that a burst of samples it would drop
// cannot push the ones it wants out of a keep-last history.
#ifndef RMW_FASTDDS__READER_HPP_
#define RMW_FASTDDS__READER_HPP_

#include <fastdds/dds/subscriber/DataReader.hpp>
#include <fastdds/dds/subscriber/DataReaderListener.hpp>
#include <fastdds/dds/topic/Topic.hpp>
#include <fastrtps/rtps/common/SampleIdentity.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "rmw_fastdds/gid.hpp"

namespace rmw_fastdds
{

class Participant;

// Where a taken sample came from.
struct SampleMeta
{
  eprosima::fastrtps::rtps::SampleIdentity sample_identity;
  eprosima::fastrtps::rtps::SampleIdentity related_sample_identity;
  int64_t source_timestamp_ns = 0;
  int64_t received_timestamp_ns = 0;
};

class Reader : private eprosima::fastdds::dds::DataReaderListener
{
public:
  // Whether to keep a sample; `self` is this reader's GUID.
  using Filter = std::function<bool(
        const SampleMeta & sample, const eprosima::fastrtps::rtps::GUID_t & self)>;

  Reader(
    Participant * participant, eprosima::fastdds::dds::Topic * topic,
    const eprosima::fastdds::dds::DataReaderQos & qos, std::function<void()> on_data,
    Filter filter = {});
  ~Reader() override;

  Reader(const Reader &) = delete;
  Reader & operator=(const Reader &) = delete;

  // Takes the oldest waiting sample's payload; false when none waits.
  bool take(std::vector<uint8_t> & payload, SampleMeta * meta = nullptr);
  bool has_data() const;

  size_t matched_count() const {return matched_.load();}
  // Whether a writer of the participant with this GUID prefix is matched.
  bool has_matched_writer_of(const eprosima::fastrtps::rtps::GuidPrefix_t & participant) const;
  eprosima::fastrtps::rtps::GUID_t guid() const;
  Gid gid() const {return to_gid(guid());}

private:
  struct Kept
  {
    std::vector<uint8_t> payload;
    SampleMeta meta;
  };

  void on_data_available(eprosima::fastdds::dds::DataReader * reader) override;
  void on_subscription_matched(
    eprosima::fastdds::dds::DataReader * reader,
    const eprosima::fastdds::dds::SubscriptionMatchedStatus & status) override;

  Participant * participant_;
  eprosima::fastdds::dds::Topic * topic_;
  std::function<void()> on_data_;
  Filter filter_;
  size_t keep_last_;  // 0: keep all
  mutable std::mutex kept_mutex_;
  std::deque<Kept> kept_;
  eprosima::fastdds::dds::DataReader * reader_ = nullptr;
  std::atomic<size_t> matched_{0};
  mutable std::mutex matched_mutex_;
  std::set<eprosima::fastrtps::rtps::GUID_t> matched_writers_;
};

}  // namespace rmw_fastdds

#endif  // RMW_FASTDDS__READER_HPP_
