#include "rmw_fastdds/endpoint_cache.hpp"

#include <fastdds/rtps/builtin/data/ReaderProxyData.h>
#include <fastdds/rtps/builtin/data/WriterProxyData.h>
#include <fastdds/rtps/reader/ReaderDiscoveryInfo.h>
#include <fastdds/rtps/writer/WriterDiscoveryInfo.h>

#include <utility>

namespace rmw_fastdds
{

using eprosima::fastrtps::rtps::GUID_t;
using eprosima::fastrtps::rtps::ReaderDiscoveryInfo;
using eprosima::fastrtps::rtps::WriterDiscoveryInfo;

size_t EndpointCache::count_writers(const std::string & dds_topic) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return count(writers_, dds_topic);
}

size_t EndpointCache::count_readers(const std::string & dds_topic) const
{
  std::lock_guard<std::mutex> lock(mutex_);
  return count(readers_, dds_topic);
}

std::map<std::string, std::set<std::string>> EndpointCache::topics_and_types() const
{
  std::lock_guard<std::mutex> lock(mutex_);
  std::map<std::string, std::set<std::string>> out;
  for (const auto * endpoints : {&writers_, &readers_}) {
    for (const auto & entry : *endpoints) {
      out[entry.second.topic].insert(entry.second.type);
    }
  }
  return out;
}

void EndpointCache::on_publisher_discovery(
  eprosima::fastdds::dds::DomainParticipant *, WriterDiscoveryInfo && info)
{
  update(
    writers_, info.info.guid(),
    Endpoint{info.info.topicName().to_string(), info.info.typeName().to_string()},
    info.status != WriterDiscoveryInfo::REMOVED_WRITER);
}

void EndpointCache::on_subscriber_discovery(
  eprosima::fastdds::dds::DomainParticipant *, ReaderDiscoveryInfo && info)
{
  update(
    readers_, info.info.guid(),
    Endpoint{info.info.topicName().to_string(), info.info.typeName().to_string()},
    info.status != ReaderDiscoveryInfo::REMOVED_READER);
}

void EndpointCache::update(
  std::map<GUID_t, Endpoint> & endpoints, const GUID_t & guid, Endpoint endpoint, bool present)
{
  std::lock_guard<std::mutex> lock(mutex_);
  if (present) {
    endpoints[guid] = std::move(endpoint);
  } else {
    endpoints.erase(guid);
  }
}

size_t EndpointCache::count(const std::map<GUID_t, Endpoint> & endpoints, const std::string & dds_topic)
{
  size_t n = 0;
  for (const auto & entry : endpoints) {
    n += entry.second.topic == dds_topic ? 1 : 0;
  }
  return n;
}

}  // namespace rmw_fastdds
