// Services and clients across processes over DDS, as a robot's nodes use
// them: concurrent clients each get their own answer, a slow server queues
// requests, a client sees the server appear and go away, and a client stops
// waiting for an answer that comes too late.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "child_process.hpp"
#include "context_fixture.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_test_srvs/srv/add_two_ints.hpp"

using namespace std::chrono_literals;
using AddTwoInts = rclcpp_test_srvs::srv::AddTwoInts;

namespace
{

// A client node of the test's own, on a context of its own.
class ServiceProcesses : public ::testing::Test
{
protected:
  ServiceProcesses()
  : context(make_context()),
    node(std::make_shared<rclcpp::Node>("test_client", options_for(context))),
    client(node->create_client<AddTwoInts>("/add_two_ints")),
    executor(rclcpp::ExecutorOptions{context})
  {
    executor.add_node(node);
  }

  ~ServiceProcesses() override {context->shutdown("test over");}

  std::shared_ptr<ChildProcess> start_server(int delay_ms = 0)
  {
    auto server = std::make_shared<ChildProcess>(
      std::vector<std::string>{ADD_SERVER, "--delay-ms", std::to_string(delay_ms)});
    EXPECT_TRUE(server->wait_for_output("serving", 10s));
    return server;
  }

  rclcpp::Client<AddTwoInts>::SharedFuture send(int64_t a, int64_t b)
  {
    auto request = std::make_shared<AddTwoInts::Request>();
    request->a = a;
    request->b = b;
    return client->async_send_request(request).future.share();
  }

  std::shared_ptr<rclcpp::Context> context;
  std::shared_ptr<rclcpp::Node> node;
  rclcpp::Client<AddTwoInts>::SharedPtr client;
  rclcpp::executors::SingleThreadedExecutor executor;
};

TEST_F(ServiceProcesses, ConcurrentClientsEachGetTheirOwnAnswer)
{
  auto server = start_server();
  std::vector<std::unique_ptr<ChildProcess>> clients;
  for (int i = 1; i <= 4; ++i) {
    clients.push_back(
      std::make_unique<ChildProcess>(
        std::vector<std::string>{ADD_CLIENT, std::to_string(i), std::to_string(1000 * i)}));
  }
  for (int i = 1; i <= 4; ++i) {
    auto & c = *clients[i - 1];
    EXPECT_EQ(c.wait(20s), 0) << c.out() << c.err();
    EXPECT_EQ(c.out(), "sum " + std::to_string(1001 * i) + "\n");
  }
}

TEST_F(ServiceProcesses, ASlowServerAnswersQueuedRequestsInOrder)
{
  auto server = start_server(150);
  ASSERT_TRUE(client->wait_for_service(10s));
  std::vector<rclcpp::Client<AddTwoInts>::SharedFuture> futures;
  futures.push_back(send(0, 7));
  ASSERT_TRUE(server->wait_for_output("handling 0", 5s));
  // Sent while the server is busy with the first one.
  for (int64_t i = 1; i < 5; ++i) {
    futures.push_back(send(i, 7));
  }
  for (int64_t i = 0; i < 5; ++i) {
    ASSERT_EQ(
      executor.spin_until_future_complete(futures[i], 5s), rclcpp::FutureReturnCode::SUCCESS);
    EXPECT_EQ(futures[i].get()->sum, i + 7);
  }
  EXPECT_EQ(
    server->out(), "serving\nhandling 0\nhandling 1\nhandling 2\nhandling 3\nhandling 4\n");
}

TEST_F(ServiceProcesses, ServiceIsReadyOnlyWhileAServerRuns)
{
  EXPECT_FALSE(client->service_is_ready());
  EXPECT_FALSE(client->wait_for_service(200ms));
  auto server = start_server();
  ASSERT_TRUE(client->wait_for_service(10s));
  EXPECT_TRUE(client->service_is_ready());
  server->signal(SIGINT);
  EXPECT_EQ(server->wait(10s), 0);
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (client->service_is_ready() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_FALSE(client->service_is_ready());
}

TEST_F(ServiceProcesses, ClientTimesOutOnAServerThatAnswersTooLate)
{
  auto server = start_server(2000);
  ASSERT_TRUE(client->wait_for_service(10s));
  auto future = send(1, 1);
  EXPECT_EQ(executor.spin_until_future_complete(future, 300ms), rclcpp::FutureReturnCode::TIMEOUT);
  EXPECT_EQ(executor.spin_until_future_complete(future, 10s), rclcpp::FutureReturnCode::SUCCESS);
  EXPECT_EQ(future.get()->sum, 2);
}

TEST_F(ServiceProcesses, ClientProcessWithoutServerReportsIt)
{
  ChildProcess lone({ADD_CLIENT, "1", "2"});
  EXPECT_EQ(lone.wait(20s), 1);
  EXPECT_EQ(lone.out(), "no service\n");
}

}  // namespace
