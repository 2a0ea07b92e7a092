// What every node offers other processes for its parameters, as ros2 param
// and rqt use it: the six services under the node's name and the events on
// /parameter_events. The node and its client live in contexts of their own,
// so every call crosses DDS.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "context_fixture.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rcl_interfaces/msg/parameter_event.hpp"
#include "rcl_interfaces/msg/parameter_type.hpp"
#include "rcl_interfaces/srv/describe_parameters.hpp"
#include "rcl_interfaces/srv/get_parameter_types.hpp"
#include "rcl_interfaces/srv/get_parameters.hpp"
#include "rcl_interfaces/srv/list_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters.hpp"
#include "rcl_interfaces/srv/set_parameters_atomically.hpp"

using namespace std::chrono_literals;
namespace msg = rcl_interfaces::msg;
namespace srv = rcl_interfaces::srv;

namespace
{

msg::Parameter parameter(const std::string & name, const rclcpp::ParameterValue & value)
{
  return rclcpp::Parameter(name, value).to_parameter_msg();
}

// A node as ours is built (overrides declared automatically), with a
// read-only parameter and two nested ones, spun on a thread of its own.
class ParameterService : public ::testing::Test
{
protected:
  ParameterService()
  : server_context(make_context({"--ros-args", "-p", "pcd:=/maps/", "-p", "debug:=1"})),
    client_context(make_context()),
    server(std::make_shared<rclcpp::Node>(
        "camera", "robot",
        options_for(server_context).automatically_declare_parameters_from_overrides(true))),
    client(std::make_shared<rclcpp::Node>("param_client", options_for(client_context))),
    server_executor(rclcpp::ExecutorOptions{server_context}),
    client_executor(rclcpp::ExecutorOptions{client_context})
  {
    msg::ParameterDescriptor read_only;
    read_only.read_only = true;
    server->declare_parameter("serial", "A17", read_only);
    server->declare_parameter("gain.left", 1.5);
    server->declare_parameter("gain.right", 2.5);
    server_executor.add_node(server);
    client_executor.add_node(client);
    spinner = std::thread([this] {server_executor.spin();});
  }

  ~ParameterService() override
  {
    server_context->shutdown("test over");
    spinner.join();
    client_context->shutdown("test over");
  }

  template<typename ServiceT>
  std::shared_ptr<typename ServiceT::Response> call(
    const std::string & name, const typename ServiceT::Request & request)
  {
    auto service_client = client->create_client<ServiceT>("/robot/camera/" + name);
    if (!service_client->wait_for_service(10s)) {
      ADD_FAILURE() << name << " never appeared";
      return nullptr;
    }
    auto future = service_client->async_send_request(
      std::make_shared<typename ServiceT::Request>(request));
    if (client_executor.spin_until_future_complete(future, 10s) !=
      rclcpp::FutureReturnCode::SUCCESS)
    {
      ADD_FAILURE() << name << " did not answer";
      return nullptr;
    }
    return future.get();
  }

  rclcpp::ParameterValue value_on_server(const std::string & name)
  {
    return server->get_parameter(name).get_parameter_value();
  }

  std::shared_ptr<rclcpp::Context> server_context;
  std::shared_ptr<rclcpp::Context> client_context;
  std::shared_ptr<rclcpp::Node> server;
  std::shared_ptr<rclcpp::Node> client;
  rclcpp::executors::SingleThreadedExecutor server_executor;
  rclcpp::executors::SingleThreadedExecutor client_executor;
  std::thread spinner;
};

TEST_F(ParameterService, ListsEveryParameterOrThoseUnderAPrefix)
{
  srv::ListParameters::Request everything;
  auto all = call<srv::ListParameters>("list_parameters", everything);
  ASSERT_TRUE(all);
  EXPECT_EQ(
    all->result.names, (std::vector<std::string>{
    "debug", "gain.left", "gain.right", "pcd", "serial", "use_sim_time"}));
  EXPECT_EQ(all->result.prefixes, (std::vector<std::string>{"gain"}));

  srv::ListParameters::Request gains;
  gains.prefixes = {"gain"};
  auto under = call<srv::ListParameters>("list_parameters", gains);
  ASSERT_TRUE(under);
  EXPECT_EQ(under->result.names, (std::vector<std::string>{"gain.left", "gain.right"}));

  srv::ListParameters::Request top_level;
  top_level.depth = 1;
  auto shallow = call<srv::ListParameters>("list_parameters", top_level);
  ASSERT_TRUE(shallow);
  EXPECT_EQ(
    shallow->result.names, (std::vector<std::string>{"debug", "pcd", "serial", "use_sim_time"}));
}

TEST_F(ParameterService, GetsValuesAndTypesOrNothingForAnUndeclaredName)
{
  srv::GetParameters::Request get;
  get.names = {"pcd", "debug", "gain.left"};
  auto values = call<srv::GetParameters>("get_parameters", get);
  ASSERT_TRUE(values);
  ASSERT_EQ(values->values.size(), 3u);
  EXPECT_EQ(values->values[0].type, msg::ParameterType::PARAMETER_STRING);
  EXPECT_EQ(values->values[0].string_value, "/maps/");
  EXPECT_EQ(values->values[1].type, msg::ParameterType::PARAMETER_INTEGER);
  EXPECT_EQ(values->values[1].integer_value, 1);
  EXPECT_EQ(values->values[2].double_value, 1.5);

  srv::GetParameterTypes::Request types;
  types.names = {"pcd", "debug", "use_sim_time"};
  auto typed = call<srv::GetParameterTypes>("get_parameter_types", types);
  ASSERT_TRUE(typed);
  EXPECT_EQ(
    typed->types, (std::vector<uint8_t>{msg::ParameterType::PARAMETER_STRING,
      msg::ParameterType::PARAMETER_INTEGER, msg::ParameterType::PARAMETER_BOOL}));

  get.names = {"pcd", "no_such_parameter"};
  auto none = call<srv::GetParameters>("get_parameters", get);
  ASSERT_TRUE(none);
  EXPECT_TRUE(none->values.empty());
  types.names = {"no_such_parameter"};
  auto no_types = call<srv::GetParameterTypes>("get_parameter_types", types);
  ASSERT_TRUE(no_types);
  EXPECT_TRUE(no_types->types.empty());
}

TEST_F(ParameterService, DescribesReadOnlyAndDynamicallyTypedParameters)
{
  srv::DescribeParameters::Request describe;
  describe.names = {"serial", "pcd"};
  auto described = call<srv::DescribeParameters>("describe_parameters", describe);
  ASSERT_TRUE(described);
  ASSERT_EQ(described->descriptors.size(), 2u);
  EXPECT_EQ(described->descriptors[0].name, "serial");
  EXPECT_TRUE(described->descriptors[0].read_only);
  EXPECT_FALSE(described->descriptors[0].dynamic_typing);
  EXPECT_EQ(described->descriptors[0].type, msg::ParameterType::PARAMETER_STRING);
  // Declared from an override: any type may follow.
  EXPECT_TRUE(described->descriptors[1].dynamic_typing);
  EXPECT_FALSE(described->descriptors[1].read_only);
}

TEST_F(ParameterService, SetsEachParameterOnItsOwnAndRefusesWhatMayNotChange)
{
  msg::ParameterValue unknown_type;
  unknown_type.type = 42;
  srv::SetParameters::Request set;
  set.parameters = {
    parameter("debug", rclcpp::ParameterValue(2)),
    parameter("serial", rclcpp::ParameterValue("B99")),
    parameter("gain.left", rclcpp::ParameterValue("loud")),
    parameter("no_such_parameter", rclcpp::ParameterValue(true)),
    msg::Parameter()};
  set.parameters.back().name = "gain.right";
  set.parameters.back().value = unknown_type;
  auto results = call<srv::SetParameters>("set_parameters", set);
  ASSERT_TRUE(results);
  ASSERT_EQ(results->results.size(), 5u);
  EXPECT_TRUE(results->results[0].successful);
  EXPECT_FALSE(results->results[1].successful);
  EXPECT_EQ(results->results[1].reason, "parameter 'serial' cannot be set because it is read-only");
  EXPECT_FALSE(results->results[2].successful) << "a statically typed double took a string";
  EXPECT_FALSE(results->results[3].successful);
  EXPECT_FALSE(results->results[4].successful);

  EXPECT_EQ(value_on_server("debug"), rclcpp::ParameterValue(2));
  EXPECT_EQ(value_on_server("serial"), rclcpp::ParameterValue("A17"));
  EXPECT_EQ(value_on_server("gain.left"), rclcpp::ParameterValue(1.5));
  EXPECT_EQ(value_on_server("gain.right"), rclcpp::ParameterValue(2.5));
  EXPECT_FALSE(server->has_parameter("no_such_parameter"));
}

TEST_F(ParameterService, SetsAtomicallyAllOrNone)
{
  srv::SetParametersAtomically::Request set;
  set.parameters = {
    parameter("debug", rclcpp::ParameterValue(3)),
    parameter("serial", rclcpp::ParameterValue("B99"))};
  auto refused = call<srv::SetParametersAtomically>("set_parameters_atomically", set);
  ASSERT_TRUE(refused);
  EXPECT_FALSE(refused->result.successful);
  EXPECT_EQ(value_on_server("debug"), rclcpp::ParameterValue(1));

  set.parameters = {
    parameter("debug", rclcpp::ParameterValue(3)),
    parameter("no_such_parameter", rclcpp::ParameterValue(1))};
  auto undeclared = call<srv::SetParametersAtomically>("set_parameters_atomically", set);
  ASSERT_TRUE(undeclared);
  EXPECT_FALSE(undeclared->result.successful);
  EXPECT_EQ(
    undeclared->result.reason, "One or more parameters were not declared before setting");
  EXPECT_EQ(value_on_server("debug"), rclcpp::ParameterValue(1));

  set.parameters = {
    parameter("debug", rclcpp::ParameterValue(3)),
    parameter("pcd", rclcpp::ParameterValue("/other/"))};
  auto accepted = call<srv::SetParametersAtomically>("set_parameters_atomically", set);
  ASSERT_TRUE(accepted);
  EXPECT_TRUE(accepted->result.successful) << accepted->result.reason;
  EXPECT_EQ(value_on_server("debug"), rclcpp::ParameterValue(3));
  EXPECT_EQ(value_on_server("pcd"), rclcpp::ParameterValue("/other/"));
}

TEST_F(ParameterService, PublishesEventsForDeclarationChangeAndRemoval)
{
  std::vector<msg::ParameterEvent> events;
  bool probe_seen = false;
  auto subscription = client->create_subscription<msg::ParameterEvent>(
    "/parameter_events", rclcpp::ParameterEventsQoS(),
    [&events, &probe_seen](msg::ParameterEvent::ConstSharedPtr event) {
      if (event->node != "/robot/camera") {
        return;
      }
      if (!event->new_parameters.empty() && event->new_parameters[0].name == "probe") {
        probe_seen = true;
      } else if (event->deleted_parameters.empty() ||
        event->deleted_parameters[0].name != "probe")
      {
        events.push_back(*event);
      }
    });
  // Volatile: only what is published after the server's writer has matched
  // this reader arrives, and the reader may see the writer first. A probe
  // declared until its event comes through shows the writer has matched.
  msg::ParameterDescriptor dynamic;
  dynamic.dynamic_typing = true;
  for (int i = 0; i < 500 && !probe_seen; ++i) {
    server->declare_parameter("probe", rclcpp::ParameterValue(0), dynamic);
    server->undeclare_parameter("probe");
    client_executor.spin_some();
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_TRUE(probe_seen);

  server->declare_parameter("exposure", rclcpp::ParameterValue(8), dynamic);
  srv::SetParameters::Request set;
  set.parameters = {parameter("exposure", rclcpp::ParameterValue(16))};
  ASSERT_TRUE(call<srv::SetParameters>("set_parameters", set));
  server->undeclare_parameter("exposure");

  for (int i = 0; i < 500 && events.size() < 3; ++i) {
    client_executor.spin_some();
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_EQ(events.size(), 3u);
  ASSERT_EQ(events[0].new_parameters.size(), 1u);
  EXPECT_EQ(events[0].new_parameters[0].name, "exposure");
  EXPECT_EQ(events[0].new_parameters[0].value.integer_value, 8);
  ASSERT_EQ(events[1].changed_parameters.size(), 1u);
  EXPECT_EQ(events[1].changed_parameters[0].value.integer_value, 16);
  ASSERT_EQ(events[2].deleted_parameters.size(), 1u);
  EXPECT_EQ(events[2].deleted_parameters[0].name, "exposure");
  EXPECT_GT(events[0].stamp.sec, 0);
}

template<typename ServiceT>
bool offered(const std::shared_ptr<rclcpp::Node> & observer, const std::string & name)
{
  return observer->create_client<ServiceT>("/robot/camera/" + name)->wait_for_service(10s);
}

TEST(NodeEntities, EveryNodeAnnouncesRosoutParameterEventsAndTheSixServices)
{
  auto context = make_context();
  auto node = std::make_shared<rclcpp::Node>("camera", "robot", options_for(context));
  auto observer_context = make_context();
  auto observer = std::make_shared<rclcpp::Node>("observer", options_for(observer_context));

  EXPECT_TRUE(offered<srv::GetParameters>(observer, "get_parameters"));
  EXPECT_TRUE(offered<srv::GetParameterTypes>(observer, "get_parameter_types"));
  EXPECT_TRUE(offered<srv::SetParameters>(observer, "set_parameters"));
  EXPECT_TRUE(offered<srv::SetParametersAtomically>(observer, "set_parameters_atomically"));
  EXPECT_TRUE(offered<srv::DescribeParameters>(observer, "describe_parameters"));
  EXPECT_TRUE(offered<srv::ListParameters>(observer, "list_parameters"));

  // The observer's own writers and the camera's.
  for (int i = 0; i < 500 && (observer->count_publishers("/rosout") < 2 ||
    observer->count_publishers("/parameter_events") < 2); ++i)
  {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(observer->count_publishers("/rosout"), 2u);
  EXPECT_EQ(observer->count_publishers("/parameter_events"), 2u);
  const auto topics = observer->get_topic_names_and_types();
  EXPECT_EQ(topics.at("/rosout"), std::vector<std::string>{"rcl_interfaces/msg/Log"});
  EXPECT_EQ(
    topics.at("/parameter_events"), std::vector<std::string>{"rcl_interfaces/msg/ParameterEvent"});
  observer_context->shutdown("test over");
  context->shutdown("test over");
}

}  // namespace
