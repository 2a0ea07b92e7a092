// Our nodes announce themselves on ros_discovery_info as rmw_fastrtps_cpp
// does, which is what ROS 2 tools read to list nodes and endpoints.
#include <gtest/gtest.h>

#include <fastdds/dds/domain/DomainParticipant.hpp>
#include <fastdds/dds/domain/DomainParticipantFactory.hpp>
#include <fastdds/dds/domain/DomainParticipantListener.hpp>
#include <fastdds/rtps/transport/UDPv4TransportDescriptor.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "context_fixture.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rmw/qos_profiles.h"
#include "rmw_dds_common/msg/participant_entities_info.hpp"
#include "rmw_fastdds/participant.hpp"
#include "rmw_fastdds/reader.hpp"
#include "std_msgs/msg/string.hpp"

using namespace std::chrono_literals;
using rmw_dds_common::msg::ParticipantEntitiesInfo;

namespace
{

// The latest announcement a separate participant (as a ROS 2 tool would be) sees.
class GraphWatcher
{
public:
  GraphWatcher()
  : participant_(rmw_fastdds::Participant::create(
        rmw_fastdds::ParticipantOptions::from_environment()))
  {
    rmw_qos_profile_t qos = rmw_qos_profile_default;
    qos.depth = 1;
    qos.durability = RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL;
    reader_ = participant_->create_reader(
      "ros_discovery_info", "rmw_dds_common::msg::dds_::ParticipantEntitiesInfo_", qos, nullptr);
  }

  // Waits for an announcement from `gid` that satisfies `done`.
  template<typename Predicate>
  bool wait_for(const rmw_fastdds::Gid & gid, Predicate done)
  {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    std::vector<uint8_t> payload;
    while (std::chrono::steady_clock::now() < deadline) {
      while (reader_->take(payload)) {
        ParticipantEntitiesInfo info;
        using Support = rosidl_runtime_cpp::TypeSupport<ParticipantEntitiesInfo>;
        if (Support::deserialize(payload.data(), payload.size(), info) &&
          std::memcmp(info.gid.data.data(), gid.data(), gid.size()) == 0)
        {
          latest = info;
          if (done(info)) {
            return true;
          }
        }
      }
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

  ParticipantEntitiesInfo latest;

private:
  std::shared_ptr<rmw_fastdds::Participant> participant_;
  std::shared_ptr<rmw_fastdds::Reader> reader_;
};

bool same_gid(const rmw_dds_common::msg::Gid & msg, const rmw_fastdds::Gid & gid)
{
  return std::memcmp(msg.data.data(), gid.data(), gid.size()) == 0;
}

TEST(RosGraph, AnnouncesNodesWithTheirEndpointGids)
{
  GraphWatcher watcher;
  auto context = make_context();
  const auto participant_gid = context->participant()->gid();
  // A Gid is the RTPS GUID padded with zeros.
  for (size_t i = 16; i < 24; ++i) {
    EXPECT_EQ(participant_gid[i], 0);
  }

  // Without the entities every node starts, so its endpoints are exactly these two.
  auto node = std::make_shared<rclcpp::Node>(
    "arm_location", "robot", options_for(context).start_parameter_services(false)
    .start_parameter_event_publisher(false).enable_rosout(false));
  auto publisher = node->create_publisher<std_msgs::msg::String>("status", 10);
  auto subscription = node->create_subscription<std_msgs::msg::String>(
    "command", 10, [](std_msgs::msg::String::ConstSharedPtr) {});

  ASSERT_TRUE(
    watcher.wait_for(
      participant_gid, [](const ParticipantEntitiesInfo & info) {
        return info.node_entities_info_seq.size() == 1 &&
        info.node_entities_info_seq[0].writer_gid_seq.size() == 1 &&
        info.node_entities_info_seq[0].reader_gid_seq.size() == 1;
      }));
  const auto & entities = watcher.latest.node_entities_info_seq[0];
  EXPECT_EQ(entities.node_name, "arm_location");
  EXPECT_EQ(entities.node_namespace, "/robot");

  // Destroying an endpoint and then the node is announced too.
  subscription.reset();
  ASSERT_TRUE(
    watcher.wait_for(
      participant_gid, [](const ParticipantEntitiesInfo & info) {
        return info.node_entities_info_seq.size() == 1 &&
        info.node_entities_info_seq[0].reader_gid_seq.empty();
      }));
  publisher.reset();
  node.reset();
  EXPECT_TRUE(
    watcher.wait_for(
      participant_gid, [](const ParticipantEntitiesInfo & info) {
        return info.node_entities_info_seq.empty();
      }));
}

TEST(RosGraph, CountsEndpointsOfItsOwnAndOtherParticipants)
{
  auto here = std::make_shared<rclcpp::Node>("here", options_for(make_context()));
  auto there = std::make_shared<rclcpp::Node>("there", options_for(make_context()));
  auto publisher = here->create_publisher<std_msgs::msg::String>("status", 10);
  auto subscription = there->create_subscription<std_msgs::msg::String>(
    "/status", 10, [](std_msgs::msg::String::ConstSharedPtr) {});
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while ((here->count_subscribers("status") < 1 || there->count_publishers("/status") < 1) &&
    std::chrono::steady_clock::now() < deadline)
  {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(here->count_subscribers("status"), 1u);
  EXPECT_EQ(here->count_publishers("status"), 1u);
  EXPECT_EQ(there->count_publishers("/status"), 1u);
  EXPECT_EQ(there->count_subscribers("/other"), 0u);
  const auto topics = there->get_topic_names_and_types();
  ASSERT_EQ(topics.count("/status"), 1u);
  EXPECT_EQ(topics.at("/status"), (std::vector<std::string>{"std_msgs/msg/String"}));
  EXPECT_EQ(topics.count("ros_discovery_info"), 0u);
}

// What a plain DDS participant on the same domain learns of ours in discovery.
class DiscoveryListener : public eprosima::fastdds::dds::DomainParticipantListener
{
public:
  void on_participant_discovery(
    eprosima::fastdds::dds::DomainParticipant *,
    eprosima::fastrtps::rtps::ParticipantDiscoveryInfo && info) override
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (info.status == eprosima::fastrtps::rtps::ParticipantDiscoveryInfo::DISCOVERED_PARTICIPANT) {
      const auto & bytes = info.info.m_userData.data_vec();
      user_data.emplace_back(bytes.begin(), bytes.end());
      names.emplace_back(info.info.m_participantName.c_str());
    }
  }

  std::mutex mutex;
  std::vector<std::string> user_data;
  std::vector<std::string> names;
};

TEST(RosGraph, ParticipantAnnouncesTheRootEnclave)
{
  namespace dds = eprosima::fastdds::dds;
  DiscoveryListener listener;
  auto * factory = dds::DomainParticipantFactory::get_instance();
  auto qos = factory->get_default_participant_qos();
  qos.transport().use_builtin_transports = false;
  qos.transport().user_transports.push_back(
    std::make_shared<eprosima::fastdds::rtps::UDPv4TransportDescriptor>());
  const auto options = rmw_fastdds::ParticipantOptions::from_environment();
  auto * plain = factory->create_participant(
    static_cast<dds::DomainId_t>(options.domain_id), qos, &listener);
  ASSERT_NE(plain, nullptr);

  auto context = make_context();
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  bool seen = false;
  while (!seen && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
    std::lock_guard<std::mutex> lock(listener.mutex);
    seen = !listener.user_data.empty();
  }
  plain->set_listener(nullptr);
  factory->delete_participant(plain);
  ASSERT_TRUE(seen);
  EXPECT_EQ(listener.user_data[0], std::string("enclave=/;") + '\0');
  EXPECT_EQ(listener.names[0], "/");
}

}  // namespace
