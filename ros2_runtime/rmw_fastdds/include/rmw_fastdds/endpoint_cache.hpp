// The DDS endpoints this participant has discovered, its own included, by
// topic: what graph queries (publisher and subscriber counts, topic names
// and types, service availability) are answered from.
#ifndef RMW_FASTDDS__ENDPOINT_CACHE_HPP_
#define RMW_FASTDDS__ENDPOINT_CACHE_HPP_

#include <fastdds/dds/domain/DomainParticipantListener.hpp>

#include <cstddef>
#include <map>
#include <mutex>
#include <set>
#include <string>

namespace rmw_fastdds
{

class EndpointCache : public eprosima::fastdds::dds::DomainParticipantListener
{
public:
  size_t count_writers(const std::string & dds_topic) const;
  size_t count_readers(const std::string & dds_topic) const;
  // DDS topic name -> DDS type names seen on it.
  std::map<std::string, std::set<std::string>> topics_and_types() const;

  void on_publisher_discovery(
    eprosima::fastdds::dds::DomainParticipant * participant,
    eprosima::fastrtps::rtps::WriterDiscoveryInfo && info) override;
  void on_subscriber_discovery(
    eprosima::fastdds::dds::DomainParticipant * participant,
    eprosima::fastrtps::rtps::ReaderDiscoveryInfo && info) override;

private:
  struct Endpoint
  {
    std::string topic;
    std::string type;
  };

  void update(
    std::map<eprosima::fastrtps::rtps::GUID_t, Endpoint> & endpoints,
    const eprosima::fastrtps::rtps::GUID_t & guid, Endpoint endpoint, bool present);
  static size_t count(
    const std::map<eprosima::fastrtps::rtps::GUID_t, Endpoint> & endpoints,
    const std::string & dds_topic);

  mutable std::mutex mutex_;
  std::map<eprosima::fastrtps::rtps::GUID_t, Endpoint> writers_;
  std::map<eprosima::fastrtps::rtps::GUID_t, Endpoint> readers_;
};

}  // namespace rmw_fastdds

#endif  // RMW_FASTDDS__ENDPOINT_CACHE_HPP_
