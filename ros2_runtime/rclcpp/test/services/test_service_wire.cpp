// What services and clients put on the wire, seen from a bare DDS
// participant, as a Humble rmw_fastrtps_cpp peer would see it: topic and
// type names, and the sample identities that tie replies to requests.
#include <gtest/gtest.h>

#include <fastrtps/rtps/common/WriteParams.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "context_fixture.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_test_srvs/srv/add_two_ints.hpp"
#include "rmw/qos_profiles.h"
#include "rmw_dds_common/msg/participant_entities_info.hpp"
#include "rmw_fastdds/message_ops.hpp"
#include "rmw_fastdds/participant.hpp"
#include "rmw_fastdds/reader.hpp"
#include "rmw_fastdds/writer.hpp"

using namespace std::chrono_literals;
using AddTwoInts = rclcpp_test_srvs::srv::AddTwoInts;
using eprosima::fastrtps::rtps::GUID_t;
using eprosima::fastrtps::rtps::WriteParams;

namespace
{

constexpr const char * request_type = "rclcpp_test_srvs::srv::dds_::AddTwoInts_Request_";
constexpr const char * response_type = "rclcpp_test_srvs::srv::dds_::AddTwoInts_Response_";

template<typename Condition>
bool eventually(Condition condition)
{
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

template<typename MessageT>
bool take(rmw_fastdds::Reader & reader, MessageT & msg, rmw_fastdds::SampleMeta & meta)
{
  std::vector<uint8_t> payload;
  return eventually([&] {return reader.take(payload, &meta);}) &&
         rosidl_runtime_cpp::TypeSupport<MessageT>::deserialize(
    payload.data(), payload.size(), msg);
}

// A participant of its own with no rclcpp above it.
class ServiceWire : public ::testing::Test
{
protected:
  ServiceWire()
  : bare(rmw_fastdds::Participant::create(rmw_fastdds::ParticipantOptions::from_environment())),
    context(make_context()),
    // Without the entities every node starts: its endpoints are the test's alone.
    node(std::make_shared<rclcpp::Node>(
        "wire", "robot", options_for(context).start_parameter_services(false)
        .start_parameter_event_publisher(false).enable_rosout(false))),
    executor(rclcpp::ExecutorOptions{context})
  {
    executor.add_node(node);
  }

  ~ServiceWire() override {context->shutdown("test over");}

  std::shared_ptr<rmw_fastdds::Participant> bare;
  std::shared_ptr<rclcpp::Context> context;
  std::shared_ptr<rclcpp::Node> node;
  rclcpp::executors::SingleThreadedExecutor executor;
};

TEST_F(ServiceWire, TopicsAndTypesAreNamedAsRmwFastrtpsNamesThem)
{
  auto service = node->create_service<AddTwoInts>(
    "add", [](std::shared_ptr<AddTwoInts::Request>, std::shared_ptr<AddTwoInts::Response>) {});
  const auto & seen = bare->endpoints();
  ASSERT_TRUE(
    eventually(
      [&] {
        return seen.count_readers("rq/robot/addRequest") == 1 &&
        seen.count_writers("rr/robot/addReply") == 1;
      }));
  const auto topics = seen.topics_and_types();
  EXPECT_EQ(topics.at("rq/robot/addRequest"), std::set<std::string>{request_type});
  EXPECT_EQ(topics.at("rr/robot/addReply"), std::set<std::string>{response_type});
}

TEST_F(ServiceWire, ServerAndClientAnnounceTheirEndpointsInTheRosGraph)
{
  using rmw_dds_common::msg::ParticipantEntitiesInfo;
  rmw_qos_profile_t graph_qos = rmw_qos_profile_default;
  graph_qos.depth = 1;
  graph_qos.durability = RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL;
  auto graph = bare->create_reader(
    "ros_discovery_info", "rmw_dds_common::msg::dds_::ParticipantEntitiesInfo_", graph_qos,
    nullptr);
  auto service = node->create_service<AddTwoInts>(
    "add", [](std::shared_ptr<AddTwoInts::Request>, std::shared_ptr<AddTwoInts::Response>) {});
  auto client = node->create_client<AddTwoInts>("add");
  const auto ours = context->participant()->gid();
  // Request reader and reply writer of the server, request writer and reply reader of the client.
  EXPECT_TRUE(
    eventually(
      [&] {
        ParticipantEntitiesInfo info;
        rmw_fastdds::SampleMeta meta;
        std::vector<uint8_t> payload;
        while (graph->take(payload, &meta)) {
          if (rosidl_runtime_cpp::TypeSupport<ParticipantEntitiesInfo>::deserialize(
            payload.data(), payload.size(), info) &&
          std::equal(ours.begin(), ours.end(), info.gid.data.begin()) &&
          info.node_entities_info_seq.size() == 1 &&
          info.node_entities_info_seq[0].reader_gid_seq.size() == 2 &&
          info.node_entities_info_seq[0].writer_gid_seq.size() == 2)
          {
            return true;
          }
        }
        return false;
      }));
}

TEST_F(ServiceWire, ServerAnswersUnderTheNamedReplyReaderOrElseTheRequestWriter)
{
  auto service = node->create_service<AddTwoInts>(
    "add", [](
      const std::shared_ptr<AddTwoInts::Request> request,
      std::shared_ptr<AddTwoInts::Response> response) {response->sum = request->a + request->b;});
  auto requests = bare->create_writer("rq/robot/addRequest", request_type,
      rmw_qos_profile_services_default);
  auto replies = bare->create_reader("rr/robot/addReply", response_type,
      rmw_qos_profile_services_default, nullptr);
  ASSERT_TRUE(
    eventually([&] {return requests->matched_count() == 1 && replies->matched_count() == 1;}));

  AddTwoInts::Request request;
  request.a = 20;
  request.b = 22;
  WriteParams named;
  named.related_sample_identity().writer_guid() = replies->guid();
  ASSERT_TRUE(requests->write(rmw_fastdds::message_ops<AddTwoInts::Request>(), &request, named));
  executor.spin_once(1s);
  AddTwoInts::Response response;
  rmw_fastdds::SampleMeta meta;
  ASSERT_TRUE(take(*replies, response, meta));
  EXPECT_EQ(response.sum, 42);
  EXPECT_EQ(meta.related_sample_identity.writer_guid(), replies->guid());
  EXPECT_EQ(
    meta.related_sample_identity.sequence_number(), named.sample_identity().sequence_number());

  WriteParams anonymous;
  ASSERT_TRUE(
    requests->write(rmw_fastdds::message_ops<AddTwoInts::Request>(), &request, anonymous));
  executor.spin_once(1s);
  ASSERT_TRUE(take(*replies, response, meta));
  EXPECT_EQ(meta.related_sample_identity.writer_guid(), requests->guid());
  EXPECT_EQ(
    meta.related_sample_identity.sequence_number(), anonymous.sample_identity().sequence_number());
}

// Requests addressed to reply readers no reply writer will ever match.
class UnmatchedReplyReader : public ServiceWire
{
protected:
  // Serves one request whose reply reader is `reply_reader` (a GUID
  // derived from the request writer's); what the server logged meanwhile.
  std::string serve_for(const std::function<void(GUID_t &)> & reply_reader)
  {
    auto service = node->create_service<AddTwoInts>(
      "add", [this](
        const std::shared_ptr<AddTwoInts::Request>, std::shared_ptr<AddTwoInts::Response>) {
        ++answered;
      });
    auto requests = bare->create_writer("rq/robot/addRequest", request_type,
        rmw_qos_profile_services_default);
    EXPECT_TRUE(eventually([&] {return requests->matched_count() == 1;}));
    GUID_t guid = requests->guid();
    guid.entityId.value[3] = 0x04;  // a reader's entity kind
    reply_reader(guid);
    WriteParams params;
    params.related_sample_identity().writer_guid() = guid;
    AddTwoInts::Request request;
    EXPECT_TRUE(requests->write(rmw_fastdds::message_ops<AddTwoInts::Request>(), &request, params));
    testing::internal::CaptureStderr();
    executor.spin_once(5s);
    return testing::internal::GetCapturedStderr();
  }

  int answered = 0;
};

TEST_F(UnmatchedReplyReader, ServerGivesUpOnAReaderOfAClientStillThere)
{
  // The request writer's participant is still matched, so the server waits, then warns.
  const std::string log = serve_for([](GUID_t & guid) {guid.entityId.value[2] = 0x7f;});
  EXPECT_EQ(answered, 1);
  EXPECT_NE(
    log.find(
      "failed to send response to /robot/add (timeout): client will not receive response"),
    std::string::npos) << log;
}

TEST_F(UnmatchedReplyReader, ServerDropsTheReplyToAClientThatHasLeft)
{
  // No writer of this participant is matched: the client is gone, nothing to say.
  const std::string log = serve_for([](GUID_t & guid) {guid.guidPrefix.value[0] ^= 0xff;});
  EXPECT_EQ(answered, 1);
  EXPECT_EQ(log, "");
}

TEST_F(ServiceWire, ClientKeepsOnlyRepliesAddressedToItThroughAFloodOfOthers)
{
  auto client = node->create_client<AddTwoInts>("add");
  auto requests = bare->create_reader("rq/robot/addRequest", request_type,
      rmw_qos_profile_services_default, nullptr);
  auto replies = bare->create_writer("rr/robot/addReply", response_type,
      rmw_qos_profile_services_default);
  ASSERT_TRUE(client->wait_for_service(5s));

  auto request = std::make_shared<AddTwoInts::Request>();
  auto result = client->async_send_request(request);
  AddTwoInts::Request taken;
  rmw_fastdds::SampleMeta meta;
  ASSERT_TRUE(take(*requests, taken, meta));
  const GUID_t reply_reader = meta.related_sample_identity.writer_guid();
  EXPECT_NE(reply_reader, GUID_t::unknown());
  EXPECT_NE(reply_reader.entityId.value[3] & 0x04, 0) << "names a reader";
  EXPECT_EQ(meta.sample_identity.sequence_number().to64long(), result.request_id);

  AddTwoInts::Response response;
  response.sum = 7;
  WriteParams to_other;
  to_other.related_sample_identity() = meta.sample_identity;
  to_other.related_sample_identity().writer_guid() = replies->guid();
  ASSERT_TRUE(replies->write(rmw_fastdds::message_ops<AddTwoInts::Response>(), &response, to_other));
  EXPECT_EQ(
    executor.spin_until_future_complete(result, 300ms), rclcpp::FutureReturnCode::TIMEOUT);

  // Its reply, then more replies to other clients than the reply history
  // holds, all before the client spins: as under many clients at once.
  WriteParams to_client;
  to_client.related_sample_identity() = meta.sample_identity;
  to_client.related_sample_identity().writer_guid() = reply_reader;
  ASSERT_TRUE(
    replies->write(rmw_fastdds::message_ops<AddTwoInts::Response>(), &response, to_client));
  for (size_t i = 0; i < 3 * rmw_qos_profile_services_default.depth; ++i) {
    ASSERT_TRUE(
      replies->write(rmw_fastdds::message_ops<AddTwoInts::Response>(), &response, to_other));
  }
  std::this_thread::sleep_for(500ms);
  ASSERT_EQ(executor.spin_until_future_complete(result, 5s), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(result.get()->sum, 7);
}

}  // namespace
