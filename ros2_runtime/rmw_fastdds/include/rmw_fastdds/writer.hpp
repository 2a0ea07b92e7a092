// A DDS data writer for one ROS publisher (or a service's reply / a
// client's request side), with the set of readers it is matched with.
#ifndef RMW_FASTDDS__WRITER_HPP_
#define RMW_FASTDDS__WRITER_HPP_

#include <fastdds/dds/publisher/DataWriter.hpp>
#include <fastdds/dds/publisher/DataWriterListener.hpp>
#include <fastdds/dds/topic/Topic.hpp>
#include <fastrtps/rtps/common/WriteParams.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "rmw_fastdds/gid.hpp"
#include "rmw_fastdds/message_ops.hpp"

namespace rmw_fastdds
{

class Participant;

class Writer : private eprosima::fastdds::dds::DataWriterListener
{
public:
  Writer(
    Participant * participant, eprosima::fastdds::dds::Topic * topic,
    const eprosima::fastdds::dds::DataWriterQos & qos);
  ~Writer() override;

  Writer(const Writer &) = delete;
  Writer & operator=(const Writer &) = delete;

  bool write(const MessageOps & ops, const void * msg);
  // With write params, for request/reply correlation; params carries the
  // written sample's identity afterwards.
  bool write(
    const MessageOps & ops, const void * msg, eprosima::fastrtps::rtps::WriteParams & params);
  // Bytes already in wire form, encapsulation header included.
  bool write_serialized(const std::vector<uint8_t> & payload);

  size_t matched_count() const;
  bool is_matched(const eprosima::fastrtps::rtps::GUID_t & reader) const;
  // Blocks until `reader` is matched or the timeout passes; true when matched.
  bool wait_for_match(
    const eprosima::fastrtps::rtps::GUID_t & reader, std::chrono::nanoseconds timeout) const;
  eprosima::fastrtps::rtps::GUID_t guid() const;
  Gid gid() const {return to_gid(guid());}

private:
  void on_publication_matched(
    eprosima::fastdds::dds::DataWriter * writer,
    const eprosima::fastdds::dds::PublicationMatchedStatus & status) override;

  Participant * participant_;
  eprosima::fastdds::dds::Topic * topic_;
  eprosima::fastdds::dds::DataWriter * writer_ = nullptr;
  mutable std::mutex matched_mutex_;
  mutable std::condition_variable matched_changed_;
  std::set<eprosima::fastrtps::rtps::GUID_t> matched_;
};

}  // namespace rmw_fastdds

#endif  // RMW_FASTDDS__WRITER_HPP_
