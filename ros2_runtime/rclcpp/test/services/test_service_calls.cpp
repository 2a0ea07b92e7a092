// Services and clients within one process: the callback forms rclcpp
// accepts, request/reply matching, queueing behind a slow callback, clients
// that time out, and service name rules.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "context_fixture.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_test_srvs/srv/add_two_ints.hpp"

using namespace std::chrono_literals;
using AddTwoInts = rclcpp_test_srvs::srv::AddTwoInts;

namespace
{

std::shared_ptr<AddTwoInts::Request> request_for(int64_t a, int64_t b)
{
  auto request = std::make_shared<AddTwoInts::Request>();
  request->a = a;
  request->b = b;
  return request;
}

// A node with a server and a client of the same service, spun by the test.
class ServiceCalls : public ::testing::Test
{
protected:
  ServiceCalls()
  : context(make_context()),
    node(std::make_shared<rclcpp::Node>("calls", "robot", options_for(context))),
    executor(rclcpp::ExecutorOptions{context})
  {
    executor.add_node(node);
  }

  ~ServiceCalls() override {context->shutdown("test over");}

  // Spins until the future completes; its value, or null on timeout.
  template<typename FutureT>
  auto answer(FutureT & future)
  {
    using Value = decltype(future.get());
    return executor.spin_until_future_complete(future, 5s) ==
           rclcpp::FutureReturnCode::SUCCESS ? future.get() : Value{};
  }

  std::shared_ptr<rclcpp::Context> context;
  std::shared_ptr<rclcpp::Node> node;
  rclcpp::executors::SingleThreadedExecutor executor;
};

// A handler as the node's own is written: a bound member returning bool.
struct Adder
{
  bool add(
    const std::shared_ptr<AddTwoInts::Request> & request,
    const std::shared_ptr<AddTwoInts::Response> & response)
  {
    response->sum = request->a + request->b;
    thread = std::this_thread::get_id();
    return false;
  }
  std::thread::id thread;
};

TEST_F(ServiceCalls, BoundMemberReturningBoolAnswersOnTheSpinningThread)
{
  Adder adder;
  auto service = node->create_service<AddTwoInts>(
    "add", std::bind(&Adder::add, &adder, std::placeholders::_1, std::placeholders::_2));
  auto client = node->create_client<AddTwoInts>("add");
  ASSERT_TRUE(client->wait_for_service(5s));
  auto result = client->async_send_request(request_for(2, 3));
  auto response = answer(result);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->sum, 5);
  EXPECT_EQ(adder.thread, std::this_thread::get_id());
}

TEST_F(ServiceCalls, HeaderFormSeesTheRequestsSequenceNumber)
{
  std::vector<int64_t> sequence_numbers;
  auto service = node->create_service<AddTwoInts>(
    "add", [&](
      const std::shared_ptr<rmw_request_id_t> header,
      const std::shared_ptr<AddTwoInts::Request> request,
      std::shared_ptr<AddTwoInts::Response> response) {
      sequence_numbers.push_back(header->sequence_number);
      response->sum = request->a + request->b;
    });
  auto client = node->create_client<AddTwoInts>("add");
  ASSERT_TRUE(client->wait_for_service(5s));
  auto first = client->async_send_request(request_for(1, 1));
  auto second = client->async_send_request(request_for(2, 2));
  EXPECT_NE(first.request_id, second.request_id);
  auto second_response = answer(second);
  auto first_response = answer(first);
  ASSERT_TRUE(first_response && second_response);
  EXPECT_EQ(first_response->sum, 2);
  EXPECT_EQ(second_response->sum, 4);
  EXPECT_EQ(sequence_numbers, (std::vector<int64_t>{first.request_id, second.request_id}));
}

TEST_F(ServiceCalls, CallbackOverloadRunsWithTheCompletedFuture)
{
  auto service = node->create_service<AddTwoInts>(
    "add", [](
      const std::shared_ptr<AddTwoInts::Request> request,
      std::shared_ptr<AddTwoInts::Response> response) {response->sum = request->a * 10;});
  auto client = node->create_client<AddTwoInts>("add");
  ASSERT_TRUE(client->wait_for_service(5s));
  int64_t seen = 0;
  auto result = client->async_send_request(
    request_for(4, 0), [&seen](rclcpp::Client<AddTwoInts>::SharedFuture future) {
      seen = future.get()->sum;
    });
  ASSERT_TRUE(answer(result));
  EXPECT_EQ(seen, 40);
  EXPECT_EQ(result.get()->sum, 40);
}

TEST_F(ServiceCalls, RequestsWaitInTheQueueWhileACallbackRuns)
{
  std::vector<int64_t> handled;
  auto service = node->create_service<AddTwoInts>(
    "slow_add", [&handled](
      const std::shared_ptr<AddTwoInts::Request> request,
      std::shared_ptr<AddTwoInts::Response> response) {
      handled.push_back(request->a);
      std::this_thread::sleep_for(50ms);
      response->sum = request->a + request->b;
    });
  auto client = node->create_client<AddTwoInts>("slow_add");
  ASSERT_TRUE(client->wait_for_service(5s));
  std::vector<rclcpp::Client<AddTwoInts>::SharedFuture> futures;
  for (int64_t i = 0; i < 5; ++i) {
    futures.push_back(client->async_send_request(request_for(i, 100)).future.share());
  }
  for (int64_t i = 0; i < 5; ++i) {
    auto response = answer(futures[i]);
    ASSERT_TRUE(response) << "request " << i;
    EXPECT_EQ(response->sum, i + 100);
  }
  EXPECT_EQ(handled, (std::vector<int64_t>{0, 1, 2, 3, 4}));
}

TEST_F(ServiceCalls, ServiceNamesExpandInTheNodesNamespace)
{
  auto relative = node->create_service<AddTwoInts>(
    "add", [](std::shared_ptr<AddTwoInts::Request>, std::shared_ptr<AddTwoInts::Response>) {});
  auto absolute = node->create_client<AddTwoInts>("/arm/location");
  auto private_name = node->create_client<AddTwoInts>("~/add");
  EXPECT_STREQ(relative->get_service_name(), "/robot/add");
  EXPECT_STREQ(absolute->get_service_name(), "/arm/location");
  EXPECT_STREQ(private_name->get_service_name(), "/robot/calls/add");
}

TEST_F(ServiceCalls, InvalidServiceNamesThrowWithRclsText)
{
  try {
    node->create_service<AddTwoInts>(
      "arm location",
      [](std::shared_ptr<AddTwoInts::Request>, std::shared_ptr<AddTwoInts::Response>) {});
    FAIL() << "expected InvalidServiceNameError";
  } catch (const rclcpp::exceptions::InvalidServiceNameError & e) {
    EXPECT_STREQ(
      e.what(),
      "Invalid service name: topic name must not contain characters other than alphanumerics, "
      "'_', '~', '{', or '}':\n  'arm location'\n      ^\n");
  }
  EXPECT_THROW(
    node->create_client<AddTwoInts>("/arm//location"), rclcpp::exceptions::InvalidServiceNameError);
  EXPECT_THROW(node->create_client<AddTwoInts>("3d"), rclcpp::exceptions::InvalidServiceNameError);
}

TEST_F(ServiceCalls, ClientWithoutServerGivesUpAfterItsTimeout)
{
  auto client = node->create_client<AddTwoInts>("nobody_serves_this");
  EXPECT_FALSE(client->service_is_ready());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client->wait_for_service(300ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
  EXPECT_FALSE(client->wait_for_service(0s));
}

TEST_F(ServiceCalls, WaitForServiceEndsOnShutdown)
{
  auto client = node->create_client<AddTwoInts>("nobody_serves_this");
  std::thread stopper([this] {
      std::this_thread::sleep_for(100ms);
      context->shutdown("stop");
    });
  EXPECT_FALSE(client->wait_for_service());
  stopper.join();
}

TEST(ServiceTimeouts, SpinUntilFutureCompleteTimesOutOnALateAnswer)
{
  // The server lives in a context and thread of its own, as another process would.
  auto server_context = make_context();
  auto server_node = std::make_shared<rclcpp::Node>("late_server", options_for(server_context));
  auto service = server_node->create_service<AddTwoInts>(
    "late_add", [](
      const std::shared_ptr<AddTwoInts::Request>, std::shared_ptr<AddTwoInts::Response>) {
      std::this_thread::sleep_for(1s);
    });
  rclcpp::executors::SingleThreadedExecutor server_executor(
    rclcpp::ExecutorOptions{server_context});
  server_executor.add_node(server_node);
  std::thread server_thread([&server_executor] {server_executor.spin();});

  auto context = make_context();
  auto node = std::make_shared<rclcpp::Node>("impatient", options_for(context));
  auto client = node->create_client<AddTwoInts>("late_add");
  rclcpp::executors::SingleThreadedExecutor executor(rclcpp::ExecutorOptions{context});
  executor.add_node(node);
  ASSERT_TRUE(client->wait_for_service(5s));
  auto result = client->async_send_request(request_for(1, 2));
  EXPECT_EQ(
    executor.spin_until_future_complete(result, 200ms), rclcpp::FutureReturnCode::TIMEOUT);
  EXPECT_EQ(
    executor.spin_until_future_complete(result, 5s), rclcpp::FutureReturnCode::SUCCESS);

  server_context->shutdown("test over");
  server_thread.join();
  context->shutdown("test over");
}

}  // namespace
