#include "rmw_fastdds/participant.hpp"

#include <fastdds/dds/domain/DomainParticipantFactory.hpp>
#include <fastdds/dds/domain/qos/DomainParticipantQos.hpp>
#include <fastdds/rtps/transport/UDPv4TransportDescriptor.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "rmw/qos_profiles.h"
#include "rmw_fastdds/graph.hpp"
#include "rmw_fastdds/payload_type.hpp"
#include "rmw_fastdds/qos.hpp"
#include "rmw_fastdds/reader.hpp"
#include "rmw_fastdds/writer.hpp"

namespace rmw_fastdds
{
namespace
{

namespace dds = eprosima::fastdds::dds;

constexpr const char * enclave = "/";
constexpr const char * graph_topic = "ros_discovery_info";
constexpr const char * graph_type = "rmw_dds_common::msg::dds_::ParticipantEntitiesInfo_";
// Room for a few depth images in flight without the kernel dropping
// fragments (the system caps it at net.core.rmem_max / wmem_max).
constexpr uint32_t socket_buffer_size = 4 * 1024 * 1024;

dds::DomainParticipantQos participant_qos(bool localhost_only)
{
  auto * factory = dds::DomainParticipantFactory::get_instance();
  factory->load_profiles();
  dds::DomainParticipantQos qos = factory->get_default_participant_qos();

  // UDPv4 only: the shared-memory transport of this Fast DDS aborts on the
  // segments of the one ROS 2 Humble ships.
  qos.transport().use_builtin_transports = false;
  auto udp = std::make_shared<eprosima::fastdds::rtps::UDPv4TransportDescriptor>();
  udp->sendBufferSize = socket_buffer_size;
  udp->receiveBufferSize = socket_buffer_size;
  if (localhost_only) {
    udp->interfaceWhiteList.emplace_back("127.0.0.1");
  }
  qos.transport().user_transports.push_back(udp);
  qos.transport().send_socket_buffer_size = socket_buffer_size;
  qos.transport().listen_socket_buffer_size = socket_buffer_size;

  // ROS 2 ignores participants whose user data names no enclave.
  const std::string user_data = std::string("enclave=") + enclave + ";";
  qos.user_data().resize(user_data.size() + 1);
  std::memcpy(qos.user_data().data(), user_data.c_str(), user_data.size() + 1);
  qos.name(enclave);

  // Discovery data of big graphs exceed the preallocated builtin payloads.
  qos.wire_protocol().builtin.readerHistoryMemoryPolicy =
    eprosima::fastrtps::rtps::PREALLOCATED_WITH_REALLOC_MEMORY_MODE;
  qos.wire_protocol().builtin.writerHistoryMemoryPolicy =
    eprosima::fastrtps::rtps::PREALLOCATED_WITH_REALLOC_MEMORY_MODE;
  return qos;
}

}  // namespace

ParticipantOptions ParticipantOptions::from_environment()
{
  ParticipantOptions options;
  if (const char * id = std::getenv("ROS_DOMAIN_ID"); id != nullptr && *id != '\0') {
    char * end = nullptr;
    const unsigned long value = std::strtoul(id, &end, 10);
    if (*end != '\0') {
      throw std::runtime_error(
              std::string("failed to interpret ROS_DOMAIN_ID '") + id + "' as integral number");
    }
    options.domain_id = value;
  }
  if (const char * only = std::getenv("ROS_LOCALHOST_ONLY")) {
    options.localhost_only = std::strcmp(only, "1") == 0;
  }
  return options;
}

void Participant::prepare_factory()
{
  dds::DomainParticipantFactory::get_instance();
}

std::shared_ptr<Participant> Participant::create(const ParticipantOptions & options)
{
  return std::shared_ptr<Participant>(new Participant(options));
}

Participant::Participant(const ParticipantOptions & options)
: domain_id_(options.domain_id)
{
  auto * factory = dds::DomainParticipantFactory::get_instance();
  participant_ = factory->create_participant(
    static_cast<dds::DomainId_t>(options.domain_id), participant_qos(options.localhost_only),
    &endpoints_, dds::StatusMask::none());
  if (participant_ == nullptr) {
    throw std::runtime_error("failed to create the DDS participant");
  }
  publisher_ = participant_->create_publisher(dds::PUBLISHER_QOS_DEFAULT);
  subscriber_ = participant_->create_subscriber(dds::SUBSCRIBER_QOS_DEFAULT);
  if (publisher_ == nullptr || subscriber_ == nullptr) {
    participant_->set_listener(nullptr);
    factory->delete_participant(participant_);
    throw std::runtime_error("failed to create the DDS publisher and subscriber");
  }

  rmw_qos_profile_t graph_qos = rmw_qos_profile_default;
  graph_qos.history = RMW_QOS_POLICY_HISTORY_KEEP_LAST;
  graph_qos.depth = 1;
  graph_qos.durability = RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL;
  graph_ = std::make_unique<Graph>(create_writer(graph_topic, graph_type, graph_qos), gid());
}

Participant::~Participant()
{
  graph_.reset();
  participant_->set_listener(nullptr);
  participant_->delete_contained_entities();
  dds::DomainParticipantFactory::get_instance()->delete_participant(participant_);
}

Gid Participant::gid() const
{
  return to_gid(participant_->guid());
}

std::shared_ptr<Writer> Participant::create_writer(
  const std::string & dds_topic, const std::string & dds_type, const rmw_qos_profile_t & qos)
{
  return std::make_shared<Writer>(this, acquire_topic(dds_topic, dds_type), writer_qos(qos));
}

std::shared_ptr<Reader> Participant::create_reader(
  const std::string & dds_topic, const std::string & dds_type, const rmw_qos_profile_t & qos,
  std::function<void()> on_data, Reader::Filter filter)
{
  return std::make_shared<Reader>(
    this, acquire_topic(dds_topic, dds_type), reader_qos(qos), std::move(on_data),
    std::move(filter));
}

dds::Topic * Participant::acquire_topic(const std::string & dds_topic, const std::string & dds_type)
{
  std::lock_guard<std::mutex> lock(topics_mutex_);
  if (!participant_->find_type(dds_type)) {
    dds::TypeSupport type(new PayloadType(dds_type));
    if (type.register_type(participant_) != ReturnCode_t::RETCODE_OK) {
      throw std::runtime_error("failed to register DDS type '" + dds_type + "'");
    }
  }
  auto * description = participant_->lookup_topicdescription(dds_topic);
  dds::Topic * topic = nullptr;
  if (description != nullptr) {
    if (description->get_type_name() != dds_type) {
      throw std::runtime_error(
              "DDS topic '" + dds_topic + "' already has type '" + description->get_type_name() +
              "', not '" + dds_type + "'");
    }
    topic = dynamic_cast<dds::Topic *>(description);
  } else {
    topic = participant_->create_topic(dds_topic, dds_type, dds::TOPIC_QOS_DEFAULT);
  }
  if (topic == nullptr) {
    throw std::runtime_error("failed to create DDS topic '" + dds_topic + "'");
  }
  ++topic_users_[topic];
  return topic;
}

void Participant::release_topic(dds::Topic * topic)
{
  std::lock_guard<std::mutex> lock(topics_mutex_);
  auto it = topic_users_.find(topic);
  if (it != topic_users_.end() && --it->second == 0) {
    topic_users_.erase(it);
    participant_->delete_topic(topic);
  }
}

}  // namespace rmw_fastdds
