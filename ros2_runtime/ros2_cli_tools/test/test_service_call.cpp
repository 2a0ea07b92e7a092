// service_call against a live /arm/location server: the YAML request
// reaches the server field by field, the response comes back printed, and
// unknown types and fields are refused with ros2's texts; and against the
// server node's parameter services.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "brisvane_protocol/srv/arm_location.hpp"
#include "child_process.hpp"
#include "rclcpp/rclcpp.hpp"

using namespace std::chrono_literals;
using ArmLocation = brisvane_protocol::srv::ArmLocation;

namespace
{

ChildProcess service_call(std::vector<std::string> args)
{
  args.insert(args.begin(), SERVICE_CALL);
  return ChildProcess(args);
}

// A stand-in for the arm location node, spun on a thread of the test.
class ServiceCall : public ::testing::Test
{
protected:
  void SetUp() override
  {
    rclcpp::init(0, nullptr);
    node = std::make_shared<rclcpp::Node>("fake_arm_location");
    service = node->create_service<ArmLocation>(
      "/arm/location", [this](
        const std::shared_ptr<ArmLocation::Request> request,
        std::shared_ptr<ArmLocation::Response> response) {
        received = *request;
        response->status = request->pcd_type == "all_close" ? 0 : 1;
        response->message = request->pcd_type == "all_close" ? "Success" : "pcd type unsupport";
        response->pose.pose.pose.position.x = 1.25;
      });
    node->declare_parameter("pcd", "/maps/");
    spinner = std::thread([this] {rclcpp::spin(node);});
  }

  void TearDown() override
  {
    rclcpp::shutdown();
    spinner.join();
  }

  rclcpp::Node::SharedPtr node;
  rclcpp::Service<ArmLocation>::SharedPtr service;
  std::thread spinner;
  ArmLocation::Request received;
};

TEST_F(ServiceCall, SendsTheYamlRequestAndPrintsTheResponse)
{
  auto call = service_call(
    {"/arm/location", "brisvane_protocol/srv/ArmLocation", "{pcd_type: all_close}"});
  ASSERT_EQ(call.wait(20s), 0) << call.out() << call.err();
  EXPECT_EQ(received.pcd_type, "all_close");
  EXPECT_EQ(received.reserved, "");
  const std::string out = call.out();
  EXPECT_NE(
    out.find("requester: making request: {reserved: \"\", pcd_type: \"all_close\"}\n\n"),
    std::string::npos) << out;
  EXPECT_NE(out.find("response:\nstatus: 0\nmessage: \"Success\"\npose:\n"), std::string::npos)
    << out;
  EXPECT_NE(out.find("      position:\n        x: 1.25000\n"), std::string::npos) << out;
}

TEST_F(ServiceCall, ShortTypeNameAndEveryFieldAreAccepted)
{
  auto call = service_call(
    {"/arm/location", "brisvane_protocol/ArmLocation", "{reserved: note, pcd_type: all_open}"});
  ASSERT_EQ(call.wait(20s), 0) << call.out() << call.err();
  EXPECT_EQ(received.reserved, "note");
  EXPECT_EQ(received.pcd_type, "all_open");
  EXPECT_NE(call.out().find("message: \"pcd type unsupport\""), std::string::npos);
}

TEST_F(ServiceCall, ReadsTheParametersOfANodeAsRos2ParamDoes)
{
  auto list = service_call(
    {"/fake_arm_location/list_parameters", "rcl_interfaces/srv/ListParameters", "{depth: 1}"});
  ASSERT_EQ(list.wait(20s), 0) << list.out() << list.err();
  EXPECT_NE(list.out().find("  names:\n  - \"pcd\"\n  - \"use_sim_time\"\n"), std::string::npos)
    << list.out();

  auto get = service_call(
    {"/fake_arm_location/get_parameters", "rcl_interfaces/GetParameters", "{names: [pcd]}"});
  ASSERT_EQ(get.wait(20s), 0) << get.out() << get.err();
  EXPECT_NE(get.out().find("  type: 4\n"), std::string::npos) << get.out();
  EXPECT_NE(get.out().find("  string_value: \"/maps/\"\n"), std::string::npos) << get.out();

  auto types = service_call(
    {"/fake_arm_location/get_parameter_types", "rcl_interfaces/srv/GetParameterTypes",
      "{names: [pcd, use_sim_time]}"});
  ASSERT_EQ(types.wait(20s), 0) << types.err();
  EXPECT_NE(types.out().find("types:\n- 4\n- 1\n"), std::string::npos) << types.out();

  auto describe = service_call(
    {"/fake_arm_location/describe_parameters", "rcl_interfaces/srv/DescribeParameters",
      "{names: [pcd]}"});
  ASSERT_EQ(describe.wait(20s), 0) << describe.err();
  EXPECT_NE(describe.out().find("  read_only: false\n"), std::string::npos) << describe.out();
}

TEST(ServiceCallRefusals, UnknownTypeAndUnknownFieldEndWithStatusOne)
{
  auto unknown_type = service_call({"/arm/location", "brisvane_protocol/srv/Nothing", "{}"});
  EXPECT_EQ(unknown_type.wait(20s), 1);
  EXPECT_EQ(unknown_type.err(), "The passed service type is invalid\n");

  auto unknown_field = service_call(
    {"/arm/location", "brisvane_protocol/srv/ArmLocation", "{pcd: all_close}"});
  EXPECT_EQ(unknown_field.wait(20s), 1);
  EXPECT_EQ(
    unknown_field.err(),
    "Failed to populate field: 'ArmLocation_Request' object has no attribute 'pcd'\n");
}

TEST(ServiceCallWaiting, SaysItWaitsUntilTheServerAppears)
{
  auto call = service_call(
    {"/arm/location", "brisvane_protocol/srv/ArmLocation", "{pcd_type: cover_open}"});
  ASSERT_TRUE(call.wait_for_output("waiting for service to become available...\n", 20s));
  rclcpp::init(0, nullptr);
  {
    auto node = std::make_shared<rclcpp::Node>("late_arm_location");
    auto service = node->create_service<ArmLocation>(
      "/arm/location", [](
        const std::shared_ptr<ArmLocation::Request>,
        std::shared_ptr<ArmLocation::Response> response) {response->message = "late";});
    std::thread spinner([node] {rclcpp::spin(node);});
    EXPECT_EQ(call.wait(20s), 0) << call.out() << call.err();
    rclcpp::shutdown();
    spinner.join();
  }
  EXPECT_NE(call.out().find("message: \"late\""), std::string::npos) << call.out();
}

}  // namespace
