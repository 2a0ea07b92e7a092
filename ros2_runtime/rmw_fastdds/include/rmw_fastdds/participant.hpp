// One DDS domain participant per ROS context, set up as rmw_fastrtps_cpp
// sets up its participant: enclave user data, UDPv4 only, optional
// localhost restriction. It owns the DDS publisher and subscriber that every
// writer and reader of the context hangs off, and the ROS graph announcement;
// its writers and readers must not outlive it.
#ifndef RMW_FASTDDS__PARTICIPANT_HPP_
#define RMW_FASTDDS__PARTICIPANT_HPP_

#include <fastdds/dds/domain/DomainParticipant.hpp>
#include <fastdds/dds/publisher/Publisher.hpp>
#include <fastdds/dds/subscriber/Subscriber.hpp>
#include <fastdds/dds/topic/Topic.hpp>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "rmw/types.h"
#include "rmw_fastdds/endpoint_cache.hpp"
#include "rmw_fastdds/gid.hpp"
#include "rmw_fastdds/reader.hpp"

namespace rmw_fastdds
{

class Graph;
class Writer;

struct ParticipantOptions
{
  size_t domain_id = 0;
  bool localhost_only = false;

  // ROS_DOMAIN_ID and ROS_LOCALHOST_ONLY, as rcl reads them.
  static ParticipantOptions from_environment();
};

class Participant
{
public:
  // Brings up Fast DDS's process-wide factory. An owner of participants that
  // lives in static storage calls it first, so that the factory outlives it.
  static void prepare_factory();

  static std::shared_ptr<Participant> create(const ParticipantOptions & options);
  ~Participant();

  Participant(const Participant &) = delete;
  Participant & operator=(const Participant &) = delete;

  // Throws std::runtime_error when Fast DDS refuses the entity.
  std::shared_ptr<Writer> create_writer(
    const std::string & dds_topic, const std::string & dds_type, const rmw_qos_profile_t & qos);
  std::shared_ptr<Reader> create_reader(
    const std::string & dds_topic, const std::string & dds_type, const rmw_qos_profile_t & qos,
    std::function<void()> on_data, Reader::Filter filter = {});

  Graph & graph() {return *graph_;}
  const EndpointCache & endpoints() const {return endpoints_;}
  Gid gid() const;
  size_t domain_id() const {return domain_id_;}

private:
  friend class Writer;
  friend class Reader;

  explicit Participant(const ParticipantOptions & options);
  eprosima::fastdds::dds::Topic * acquire_topic(
    const std::string & dds_topic, const std::string & dds_type);
  void release_topic(eprosima::fastdds::dds::Topic * topic);

  size_t domain_id_;
  EndpointCache endpoints_;
  eprosima::fastdds::dds::DomainParticipant * participant_ = nullptr;
  eprosima::fastdds::dds::Publisher * publisher_ = nullptr;
  eprosima::fastdds::dds::Subscriber * subscriber_ = nullptr;
  std::mutex topics_mutex_;
  std::map<eprosima::fastdds::dds::Topic *, size_t> topic_users_;
  std::unique_ptr<Graph> graph_;
};

}  // namespace rmw_fastdds

#endif  // RMW_FASTDDS__PARTICIPANT_HPP_
